#pragma once
// The program's title: the caption of the window and of every error box.

#include <QString>

namespace quillet {

inline QString ApplicationTitle() { return QStringLiteral("Quillet 1.0"); }

}  // namespace quillet
