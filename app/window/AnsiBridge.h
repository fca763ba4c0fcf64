#pragma once
// The one crossing between the window's Unicode text and the system's text
// in the ANSI code page in force (platform/CodePage.h). Every text the window
// hands to the program logic, or takes from it, goes through here.

#include <QString>
#include <QStringList>
#include <string>
#include <string_view>

#include "platform/TextUtils.h"

namespace quillet {

// A character the code page lacks becomes "?".
std::string ToAnsi(const QString& text);
QString FromAnsi(std::string_view bytes);

StringList ToAnsiList(const QStringList& items);
QStringList FromAnsiList(const StringList& items);

// For the desktop's URLs, which carry UTF-8 whatever the code page.
std::string ToUtf8(const QString& text);

// Text of a selection or of a letter file: paragraph breaks become LF.
QString WithLineFeeds(QString text);

}  // namespace quillet
