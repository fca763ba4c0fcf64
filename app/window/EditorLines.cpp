#include "app/window/EditorLines.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include "app/window/AnsiBridge.h"
#include "platform/CodePage.h"

namespace quillet {
namespace {

std::string LimitedLine(const QString& text) {
  std::string line = ToAnsi(text);
  if (line.size() <= kMaxEditorLineBytes) return line;
  // Cut at a character boundary: never keep half of a double-byte character.
  std::size_t end = 0;
  while (end < kMaxEditorLineBytes) {
    const std::size_t step = IsAnsiLeadByte(static_cast<unsigned char>(line[end])) ? 2 : 1;
    if (end + step > kMaxEditorLineBytes) break;
    end += step;
  }
  line.resize(end);
  return line;
}

// The lines of one paragraph as laid out; the layout is made first when the
// editor has not drawn that far yet.
void AppendBlockLines(QTextDocument& document, const QTextBlock& block, StringList& lines) {
  document.documentLayout()->blockBoundingRect(block);
  const QTextLayout* layout = block.layout();
  const QString text = block.text();
  if (layout == nullptr || layout->lineCount() == 0) {
    lines.push_back(LimitedLine(text));
    return;
  }
  for (int i = 0; i < layout->lineCount(); ++i) {
    const QTextLine line = layout->lineAt(i);
    lines.push_back(LimitedLine(text.mid(line.textStart(), line.textLength())));
  }
}

}  // namespace

StringList DisplayedLines(QTextEdit& editor) {
  QTextDocument& document = *editor.document();
  StringList lines;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    AppendBlockLines(document, block, lines);
  }
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

}  // namespace quillet
