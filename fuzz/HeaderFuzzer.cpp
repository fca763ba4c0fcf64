// Header folding and reading: a folded header never holds an empty line,
// every line after the first continues the header, the folded lines carry
// the same words as the line that was folded, and a header set and read back
// gives its value.

#include <cstddef>
#include <cstdint>
#include <string>

#include "mail/HeaderList.h"
#include "platform/TextUtils.h"
#include "support/FuzzSupport.h"

using namespace quillet;
using quillet::fuzz::InputReader;
using quillet::fuzz::WithoutBlanks;

namespace {

bool StartsWithBlank(const std::string& line) {
  return !line.empty() && (line.front() == ' ' || line.front() == '\t');
}

// A CR LF inside the line that is not followed by a blank would start a new
// header of the sender's choosing; the fold must never produce one.
void CheckFold(const TQlHeaderList& headers, const std::string& line) {
  const StringList folded = headers.FoldHeader(line);
  std::string joined;
  for (size_t i = 0; i < folded.size(); ++i) {
    FUZZ_CHECK(!Trim(folded[i]).empty(), line);
    FUZZ_CHECK(i == 0 || StartsWithBlank(folded[i]), line);
    FUZZ_CHECK(folded[i].find("\r\n") == std::string::npos, line);
    joined += folded[i];
  }
  FUZZ_CHECK(WithoutBlanks(joined) == WithoutBlanks(line), line);
}

void CheckSetAndRead(std::string_view value, bool fold, int width) {
  TQlHeaderList headers;
  headers.SetFoldOnWrite(fold);
  headers.SetFoldWidth(width);
  headers.Add("Received: from somewhere");
  headers.Add(" by somewhere else");
  headers.SetHeader("Subject", value);
  headers.Add("X-After: end");
  const std::string read = headers.HeaderValue("subject");
  FUZZ_CHECK(WithoutBlanks(read) == WithoutBlanks(value), std::string(value));
  FUZZ_CHECK(headers.HeaderValue("RECEIVED") == "from somewhere by somewhere else", "");
  FUZZ_CHECK(headers.HeaderValue("X-After") == "end", std::string(value));
  // Setting it again replaces it in place; an empty value removes it whole.
  headers.SetHeader("Subject", value);
  FUZZ_CHECK(WithoutBlanks(headers.HeaderValue("Subject")) == WithoutBlanks(value), "");
  headers.SetHeader("Subject", "");
  FUZZ_CHECK(headers.FindHeader("Subject") < 0, std::string(value));
  FUZZ_CHECK(headers.Count() == 3, std::string(value));
}

// Arbitrary lines: reading and editing never leave the list.
void ReadArbitraryLines(std::string_view bytes) {
  TQlHeaderList headers;
  headers.AddLines(SplitLines(bytes));
  for (int i = 0; i < headers.Count(); ++i) (void)headers.LineName(i);
  for (int i = -1; i <= headers.Count(); ++i) (void)headers.LineValue(i);
  if (headers.Count() > 0) {
    const std::string name = headers.LineName(0);
    (void)headers.HeaderValue(name);
    headers.SetHeader(name, "x");
    headers.DropContinuations(0);
    headers.SetHeader(name, "");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InputReader input(data, size);
  const uint8_t mode = input.Byte();
  const std::string_view payload = input.Rest();
  if (mode & 1) {
    ReadArbitraryLines(payload);
    return 0;
  }
  const std::string value(payload);
  TQlHeaderList headers;
  CheckFold(headers, "Subject: " + value);
  CheckFold(headers, "X-Long-Header-Name-" + value);
  CheckSetAndRead(value, true, 78);
  CheckSetAndRead(value, (mode & 2) != 0, 8 + mode % 100);
  return 0;
}
