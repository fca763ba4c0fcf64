#include "smtp/MessageClient.h"

#include "coders/EncodedWords.h"

namespace quillet {

namespace {

constexpr const char* kEncodingTextStatus = "Encoding text";

// The lines a stored line stands for on the wire: itself, or, when it holds
// CR or LF, the lines the body's own text split gives.
StringList WireLines(const std::string& line) {
  if (line.find_first_of("\r\n") == std::string::npos) return {line};
  return SplitLines(line);
}

bool StartsWithDot(const std::string& line) { return !line.empty() && line.front() == '.'; }

}  // namespace

void TQlMessageClient::WriteMessage(TQlMessage& message, bool headersOnly) {
  if (!message.NoEncode()) {
    WriteMessageHeader(message);
    WriteTextLine("");
    if (!headersOnly) WriteMessageBody(message);
    return;
  }
  WriteTextLines(message.RawHeaders().Lines());
  WriteTextLine("");
  if (!headersOnly) WriteTextLines(message.Body());
}

void TQlMessageClient::WriteMessageHeader(TQlMessage& message) {
  const std::unique_ptr<TQlHeaderList> headers = message.BuildHeaders();
  for (const auto& line : headers->Lines()) WriteDataLine(line);
}

void TQlMessageClient::WriteMessageBody(TQlMessage& message) {
  const TTransfer transfer = ChooseHeaderCharset().VTransferHeader;
  BeginProgress(TWorkMode::wmWrite, 0);
  try {
    ReportStatus(TQlStatus::hsStatusText, {kEncodingTextStatus});
    if (transfer == TTransfer::iso2022jp) {
      for (const auto& stored : message.Body()) {
        for (const auto& line : WireLines(stored)) {
          const std::string converted = ConvertToIso2022Jp(line);
          // The dot test looks at the line before conversion.
          WriteTextLine(StartsWithDot(line) ? "." + converted : converted);
        }
      }
    } else {
      WriteBodyLines(message);
    }
  } catch (...) {
    EndProgress(TWorkMode::wmWrite);
    throw;
  }
  EndProgress(TWorkMode::wmWrite);
}

void TQlMessageClient::WriteBodyLines(TQlMessage& message) {
  for (const auto& line : message.Body()) WriteDataLine(line);
}

void TQlMessageClient::WriteDataLine(const std::string& line) {
  for (const auto& piece : WireLines(line)) {
    WriteTextLine(StartsWithDot(piece) ? "." + piece : piece);
  }
}

}  // namespace quillet
