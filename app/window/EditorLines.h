#pragma once
// The letter editor's lines as the user sees them: every displayed line
// counts as one, so a paragraph the editor wraps onto three lines gives three
// lines; each is at most kMaxEditorLineBytes bytes in the ANSI code page, and
// an empty last line is not counted.

#include <QTextEdit>
#include <cstddef>

#include "platform/TextUtils.h"

namespace quillet {

inline constexpr std::size_t kMaxEditorLineBytes = 4096;

StringList DisplayedLines(QTextEdit& editor);

}  // namespace quillet
