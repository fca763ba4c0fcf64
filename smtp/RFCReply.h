#pragma once
// One numeric reply of a line-oriented protocol server (RFC 5321 section 4.2):
// its code, as a number and as written, and its text lines without the code.

#include <cstdint>
#include <string>

#include "platform/TextUtils.h"

namespace quillet {

class TQlRFCReply {
 public:
  // 0 when there is no code or it does not read as a number.
  int32_t NumericCode() const { return numericCode_; }
  // A code above 0 also sets TextCode to its decimal text.
  void SetNumericCode(int32_t code);
  // One entry per reply line, each without its code and separator.
  const StringList& Text() const { return text_; }
  void SetText(const StringList& lines) { text_ = lines; }
  // The code as the server wrote it.
  const std::string& TextCode() const { return textCode_; }
  // A non-empty text also sets NumericCode to its value, or 0 when it is no number.
  void SetTextCode(const std::string& code);

  void ClearReply();
  // Fills the reply from the raw reply lines ("250-first", "250 last").
  void LoadReplyLines(const StringList& lines);

 private:
  int32_t numericCode_ = 0;
  StringList text_;
  std::string textCode_;
};

}  // namespace quillet
