#include "mail/HeaderList.h"

#include <algorithm>

#include "platform/CodePage.h"
#include "platform/SystemLocale.h"

namespace quillet {

namespace {

constexpr std::string_view kFoldBreak = "\r\n ";
constexpr std::string_view kFoldBreakChars = "\t ,";
// RFC 2047 section 2: an encoded word is at most 75 characters long.
constexpr size_t kMaxEncodedWord = 75;

bool IsContinuation(const std::string& line) {
  return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

void TrimRightInPlace(std::string& text) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.pop_back();
}

bool IsDoubleByteCodePage(int codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

// The length of the RFC 2047 encoded word "=?charset?X?text?=" that starts
// at pos, or 0 when none does.
size_t EncodedWordLength(std::string_view line, size_t pos) {
  const std::string_view head = line.substr(pos, kMaxEncodedWord);
  if (head.size() < 8 || head[0] != '=' || head[1] != '?') return 0;
  const size_t charsetEnd = head.find('?', 2);
  if (charsetEnd == std::string_view::npos || charsetEnd == 2 || charsetEnd + 2 >= head.size() ||
      head[charsetEnd + 2] != '?') {
    return 0;
  }
  const size_t textEnd = head.find('?', charsetEnd + 3);
  if (textEnd == std::string_view::npos || textEnd + 1 >= head.size() || head[textEnd + 1] != '=') {
    return 0;
  }
  const std::string_view whole = head.substr(0, textEnd + 2);
  if (whole.find_first_of(" \t\r\n") != std::string_view::npos) return 0;
  return whole.size();
}

bool StartsWithIgnoringCase(std::string_view text, size_t pos, std::string_view prefix) {
  return text.size() - pos >= prefix.size() && SameTextAscii(text.substr(pos, prefix.size()), prefix);
}

// Wraps a header line at the last break character before the column limit,
// keeping double-quoted sections and RFC 2047 encoded words whole. Text that
// already holds the break string keeps its own break there.
std::string WrapHeaderText(std::string_view line, std::string_view breakString,
                           std::string_view breakChars, size_t limit) {
  const int codePage = AnsiCodePage();
  const bool doubleByte = IsDoubleByteCodePage(codePage);
  std::string output;
  output.reserve(line.size() + line.size() / limit * breakString.size() + 8);
  size_t pos = 0;
  size_t column = 1;
  size_t pieceStart = 0;
  size_t lastBreak = 0;
  bool haveBreak = false;
  size_t wordEnd = 0;                         // end of the encoded word being crossed
  bool inQuote = false;
  bool existingBreak = false;
  while (pos < line.size()) {
    const char c = line[pos];
    if (pos < wordEnd) {
      // Inside an encoded word: no break position, no quote.
    } else if (doubleByte && IsLeadByte(codePage, static_cast<unsigned char>(c))) {
      ++pos;
      ++column;
    } else if (c == breakString[0]) {
      if (!inQuote && StartsWithIgnoringCase(line, pos, breakString)) {
        existingBreak = true;
        pos += breakString.size() - 1;
        lastBreak = pos;
        haveBreak = true;
      }
    } else if (breakChars.find(c) != std::string_view::npos) {
      if (!inQuote) {
        lastBreak = pos;
        haveBreak = true;
      }
    } else if (c == '"') {
      inQuote = !inQuote;
    } else if (c == '=' && !inQuote) {
      if (const size_t length = EncodedWordLength(line, pos)) wordEnd = pos + length;
    }
    ++pos;
    ++column;
    if (inQuote) continue;
    if (existingBreak || (column > limit && haveBreak && lastBreak > pieceStart)) {
      column = pos - lastBreak;
      output.append(line, pieceStart, lastBreak - pieceStart + 1);
      if (c != '"') {
        while (pos < line.size() &&
               (breakChars.find(line[pos]) != std::string_view::npos || line[pos] == '\r' ||
                line[pos] == '\n')) {
          ++pos;
        }
      }
      if (!existingBreak && pos + 1 < line.size()) output += breakString;
      pieceStart = lastBreak + 1;
      existingBreak = false;
    }
  }
  if (pieceStart < line.size()) output.append(line, pieceStart, std::string_view::npos);
  return output;
}

}  // namespace

void TQlHeaderList::AddLines(const StringList& lines) {
  lines_.insert(lines_.end(), lines.begin(), lines.end());
}

void TQlHeaderList::Insert(int index, std::string line) {
  lines_.insert(lines_.begin() + index, std::move(line));
}

void TQlHeaderList::Delete(int index) { lines_.erase(lines_.begin() + index); }

std::string TQlHeaderList::LineName(int index) const {
  if (index < 0 || index >= Count()) return "";
  const std::string& line = lines_[static_cast<size_t>(index)];
  const size_t colon = line.find(':');
  if (colon == std::string::npos) return "";
  return UpperCaseAscii(std::string_view(line).substr(0, colon));
}

std::string TQlHeaderList::LineValue(int index) const {
  if (index < 0 || index >= Count()) return "";
  const std::string& line = lines_[static_cast<size_t>(index)];
  const size_t colon = line.find(':');
  std::string value = colon == std::string::npos ? line : line.substr(colon + 1);
  if (unfoldOnRead_) {
    for (size_t next = static_cast<size_t>(index) + 1;
         next < lines_.size() && IsContinuation(lines_[next]); ++next) {
      TrimRightInPlace(value);
      value += ' ';
      value += Trim(lines_[next]);
    }
  }
  return Trim(value);
}

int TQlHeaderList::FindHeader(std::string_view name) const {
  for (int i = 0; i < Count(); ++i) {
    if (SameTextAscii(LineName(i), name)) return i;
  }
  return -1;
}

std::string TQlHeaderList::HeaderValue(std::string_view name) const {
  return LineValue(FindHeader(name));
}

void TQlHeaderList::SetHeader(std::string_view name, std::string_view value) {
  int index = FindHeader(name);
  if (value.empty()) {
    if (index >= 0) {
      if (foldOnWrite_) DropContinuations(index);
      Delete(index);
    }
    return;
  }
  if (index < 0) {
    Add("");
    index = Count() - 1;
  }
  std::string line = std::string(name) + separator_ + std::string(value);
  if (!foldOnWrite_) {
    lines_[static_cast<size_t>(index)] = std::move(line);
    return;
  }
  DropContinuations(index);
  StringList folded = FoldHeader(line);
  if (folded.empty()) {  // nothing but blanks: no line to write
    Delete(index);
    return;
  }
  lines_[static_cast<size_t>(index)] = std::move(folded.front());
  lines_.insert(lines_.begin() + index + 1, std::make_move_iterator(folded.begin() + 1),
                std::make_move_iterator(folded.end()));
}

void TQlHeaderList::DropContinuations(int index) {
  const auto first = lines_.begin() + index + 1;
  auto last = first;
  while (last != lines_.end() && IsContinuation(*last)) ++last;
  lines_.erase(first, last);
}

StringList TQlHeaderList::FoldHeader(std::string_view line) const {
  const std::string wrapped =
      WrapHeaderText(line, kFoldBreak, kFoldBreakChars, static_cast<size_t>(std::max(foldWidth_, 1)));
  StringList pieces;
  size_t start = 0;
  while (start < wrapped.size()) {
    size_t end = wrapped.find("\r\n", start);
    if (end == std::string::npos) end = wrapped.size();
    std::string piece = TrimRight(std::string_view(wrapped).substr(start, end - start));
    if (piece.empty()) {
      start = end + 2;
      continue;
    }
    // A line break typed into the value must not start a header of the
    // sender's choosing: what follows it continues this header.
    if (!pieces.empty() && piece.front() != ' ' && piece.front() != '\t') piece.insert(0, 1, ' ');
    pieces.push_back(std::move(piece));
    start = end + 2;
  }
  return pieces;
}

}  // namespace quillet
