#pragma once
// The header lines of a message: one physical line per element; a line that
// begins with a space or a tab continues the header above it.

#include <string>
#include <string_view>
#include <vector>

#include "platform/TextUtils.h"

namespace quillet {

class TQlHeaderList {
 public:
  // Physical lines.
  int Count() const { return static_cast<int>(lines_.size()); }
  const std::string& operator[](int index) const { return lines_[static_cast<size_t>(index)]; }
  std::string& operator[](int index) { return lines_[static_cast<size_t>(index)]; }
  const StringList& Lines() const { return lines_; }
  void Add(std::string line) { lines_.push_back(std::move(line)); }
  void AddLines(const StringList& lines);
  void Insert(int index, std::string line);
  void Delete(int index);
  void Clear() { lines_.clear(); }

  const std::string& HeaderSeparator() const { return separator_; }
  void SetHeaderSeparator(std::string separator) { separator_ = std::move(separator); }
  bool UnfoldOnRead() const { return unfoldOnRead_; }
  void SetUnfoldOnRead(bool value) { unfoldOnRead_ = value; }
  bool FoldOnWrite() const { return foldOnWrite_; }
  void SetFoldOnWrite(bool value) { foldOnWrite_ = value; }
  int FoldWidth() const { return foldWidth_; }
  void SetFoldWidth(int value) { foldWidth_ = value; }

  std::string LineName(int index) const;
  std::string LineValue(int index) const;
  int FindHeader(std::string_view name) const;
  std::string HeaderValue(std::string_view name) const;
  // An empty value removes the header; a new header goes to the end.
  void SetHeader(std::string_view name, std::string_view value);
  void DropContinuations(int index);
  StringList FoldHeader(std::string_view line) const;

 private:
  StringList lines_;
  std::string separator_ = ": ";
  bool unfoldOnRead_ = true;
  bool foldOnWrite_ = true;
  int foldWidth_ = 78;
};

}  // namespace quillet
