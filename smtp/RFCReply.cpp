#include "smtp/RFCReply.h"

namespace quillet {

void TQlRFCReply::SetNumericCode(int32_t code) {
  numericCode_ = code;
  if (code > 0) textCode_ = std::to_string(code);
}

void TQlRFCReply::SetTextCode(const std::string& code) {
  textCode_ = code;
  if (code.empty()) return;
  int32_t value = 0;
  numericCode_ = TryStrToInt(code, value) ? value : 0;
}

void TQlRFCReply::ClearReply() {
  numericCode_ = 0;
  text_.clear();
  textCode_.clear();
}

void TQlRFCReply::LoadReplyLines(const StringList& lines) {
  ClearReply();
  if (lines.empty()) return;
  std::string code = Trim(std::string_view(lines.front()).substr(0, 4));
  if (code.size() == 4 && code[3] == '-') code.resize(3);
  SetTextCode(code);
  for (const auto& line : lines) text_.push_back(line.size() > 4 ? line.substr(4) : std::string());
}

}  // namespace quillet
