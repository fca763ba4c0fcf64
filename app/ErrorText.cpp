#include "app/ErrorText.h"

namespace quillet {

std::string ErrorBoxText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) {
    text += '.';
  }
  return text;
}

}  // namespace quillet
