#include "app/window/AnsiBridge.h"

#include "platform/CodePage.h"

namespace quillet {

std::string ToAnsi(const QString& text) {
  return Utf16ToAnsi(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                         static_cast<std::size_t>(text.size())));
}

QString FromAnsi(std::string_view bytes) {
  const std::u16string wide = AnsiToUtf16(bytes);
  return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

StringList ToAnsiList(const QStringList& items) {
  StringList result;
  result.reserve(static_cast<std::size_t>(items.size()));
  for (const QString& item : items) result.push_back(ToAnsi(item));
  return result;
}

QStringList FromAnsiList(const StringList& items) {
  QStringList result;
  result.reserve(static_cast<qsizetype>(items.size()));
  for (const std::string& item : items) result.push_back(FromAnsi(item));
  return result;
}

std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

QString WithLineFeeds(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QChar(u'\r'), QChar(u'\n'));
  text.replace(QChar::ParagraphSeparator, QChar(u'\n'));
  text.replace(QChar::LineSeparator, QChar(u'\n'));
  return text;
}

}  // namespace quillet
