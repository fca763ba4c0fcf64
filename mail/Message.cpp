#include "mail/Message.h"

#include "mail/AddressEncoding.h"
#include "mail/InternetDate.h"
#include "platform/Errors.h"

namespace quillet {

namespace {

constexpr const char* kLibraryName = "Quillet 1.0";

// The platform's comma text of a list: items joined by ",", an item holding
// a blank, a control byte, a comma or a quote put in quotes with its quotes doubled.
std::string CommaText(const StringList& items) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += ',';
    const std::string& item = items[i];
    bool quote = item.empty();
    for (const char c : item) {
      if (static_cast<unsigned char>(c) <= 32 || c == ',' || c == '"') quote = true;
    }
    if (!quote) {
      text += item;
      continue;
    }
    text += '"';
    for (const char c : item) {
      if (c == '"') text += '"';
      text += c;
    }
    text += '"';
  }
  return text;
}

// A CR or LF may reach the wire only as a fold, CR LF followed by a blank
// (RFC 5322 section 2.2.3); any other would end the header and start a line
// of the sender's choosing.
void RequireFoldsOnly(std::string_view header, std::string_view value) {
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\r' && value[i] != '\n') continue;
    const bool fold = value[i] == '\r' && i + 2 < value.size() && value[i + 1] == '\n' &&
                      (value[i + 2] == ' ' || value[i + 2] == '\t');
    if (!fold) {
      throw EQlMessageException("Line break not allowed in the " + std::string(header) +
                                " header");
    }
    ++i;
  }
}

void RequireNoLineBreaks(const TQlHeaderList& lines) {
  for (const std::string& line : lines.Lines()) {
    if (line.find_first_of("\r\n") != std::string::npos) {
      throw EQlMessageException("Line break not allowed in the header line \"" +
                                line.substr(0, line.find_first_of("\r\n")) + "\"");
    }
  }
}

void SetCheckedHeader(TQlHeaderList& headers, std::string_view name, std::string_view value) {
  RequireFoldsOnly(name, value);
  headers.SetHeader(name, value);
}

}  // namespace

TQlMessage::TQlMessage() {
  ResetMessage();
  encoding_ = TQlMessageEncoding::meMIME;
}

void TQlMessage::SetUseNowForDate(bool value) {
  if (value) date_ = 0;
}

void TQlMessage::SetEncoding(TQlMessageEncoding value) {
  encoding_ = value;
  attachmentEncoding_ = value == TQlMessageEncoding::meMIME ? "MIME" : "UUE";
}

void TQlMessage::NotifyInitializeISO(TTransfer& transfer, char& encoding, std::string& charset) {
  if (onInitializeIso_) onInitializeIso_(transfer, encoding, charset);
}

void TQlMessage::ResetMessage() {
  ResetHeaderFields();
  ResetBody();
}

void TQlMessage::ResetHeaderFields() {
  ccList_.Clear();
  bccList_.Clear();
  date_ = 0;
  from_.SetText("");
  newsGroups_.clear();
  organization_.clear();
  references_.clear();
  replyTo_.Clear();
  subject_.clear();
  recipients_.Clear();
  priority_ = TQlMessagePriority::mpNormal;
  receiptRecipient_.SetText("");
  contentType_.clear();
  charSet_.clear();
  contentTransferEncoding_.clear();
  contentDisposition_.clear();
  sender_.SetText("");
  rawHeaders_.Clear();
  extraHeaders_.Clear();
  SetUseNowForDate(true);
}

void TQlMessage::ResetBody() { body_.clear(); }

std::unique_ptr<TQlHeaderList> TQlMessage::BuildHeaders() {
  const bool mime = encoding_ == TQlMessageEncoding::meMIME;
  if (mime && !charSet_.empty()) {
    const std::string parameter = "charset=\"" + charSet_ + "\"";
    contentType_ = contentType_.empty() ? parameter : contentType_ + ";\r\n\t" + parameter;
  }
  if (!mime && TextPartCount() > 0) {
    throw EQlMessageException("Invalid Encoding. UU only allows Body and Attachments");
  }

  HeaderEncodingSettings coding = ChooseHeaderCharset();
  NotifyInitializeISO(coding.VTransferHeader, coding.VHeaderEncoding, coding.VCharSet);
  const char letter = coding.VHeaderEncoding;
  const TTransfer transfer = coding.VTransferHeader;
  const std::string& charset = coding.VCharSet;

  RequireNoLineBreaks(rawHeaders_);
  RequireNoLineBreaks(extraHeaders_);
  auto headers = std::make_unique<TQlHeaderList>();
  headers->AddLines(rawHeaders_.Lines());
  TQlHeaderList& h = *headers;
  SetCheckedHeader(h, "From", EncodeMailbox(from_, letter, transfer, charset));
  SetCheckedHeader(h, "Subject", EncodeWords(subject_, "", letter, transfer, charset));
  SetCheckedHeader(h, "To", EncodeAddressList(recipients_, letter, transfer, charset));
  SetCheckedHeader(h, "Cc", EncodeAddressList(ccList_, letter, transfer, charset));
  SetCheckedHeader(h, "Newsgroups", CommaText(newsGroups_));
  if (mime) {
    SetCheckedHeader(h, "Content-Type", contentType_);
    // RFC 2045 section 4: a Content-Type means nothing without MIME-Version.
    if (!contentType_.empty()) h.SetHeader("MIME-Version", "1.0");
    SetCheckedHeader(h, "Content-Transfer-Encoding", contentTransferEncoding_);
  }
  SetCheckedHeader(h, "Sender", sender_.Text());
  SetCheckedHeader(h, "Reply-To", EncodeAddressList(replyTo_, letter, transfer, charset));
  SetCheckedHeader(h, "Organization", EncodeWords(organization_, "", letter, transfer, charset));
  SetCheckedHeader(h, "Disposition-Notification-To",
                   EncodeMailbox(receiptRecipient_, letter, transfer, charset));
  SetCheckedHeader(h, "References", references_);
  h.SetHeader("Date", InternetDateText(UseNowForDate() ? Now() : date_, false));
  h.SetHeader("X-Priority", std::to_string(static_cast<int>(priority_) + 1));
  h.SetHeader("X-Library", kLibraryName);
  h.AddLines(extraHeaders_.Lines());
  return headers;
}

}  // namespace quillet
