#pragma once
// The window's pictures, drawn at start-up: the window icon, the add and
// remove glyphs of the list buttons, the send button's glyph (with its
// disabled look) and the decorative picture beside the address boxes.

#include <QIcon>
#include <QPixmap>

namespace quillet {

inline constexpr int kDecorativePictureWidth = 153;
inline constexpr int kDecorativePictureHeight = 74;

QIcon WindowIcon();
QIcon AddGlyph();
QIcon RemoveGlyph();
QIcon SendGlyph();
QPixmap DecorativePicture();

}  // namespace quillet
