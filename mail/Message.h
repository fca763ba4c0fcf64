#pragma once
// The one mail message of the system and the header block it produces.

#include <functional>
#include <memory>
#include <string>

#include "coders/EncodedWords.h"
#include "mail/EmailAddress.h"
#include "mail/HeaderList.h"
#include "platform/DateTime.h"
#include "platform/TextUtils.h"

namespace quillet {

enum class TQlMessagePriority { mpHighest, mpHigh, mpNormal, mpLow, mpLowest };
enum class TQlMessageEncoding { meMIME, meUU };

using TQlInitializeIsoEvent =
    std::function<void(TTransfer& VTransferHeader, char& VHeaderEncoding, std::string& VCharSet)>;

class TQlMessage {
 public:
  TQlMessage();
  virtual ~TQlMessage() = default;
  TQlMessage(const TQlMessage&) = delete;
  TQlMessage& operator=(const TQlMessage&) = delete;

  StringList& Body() { return body_; }
  const StringList& Body() const { return body_; }
  void SetBody(const StringList& lines) { body_ = lines; }
  void SetBody(StringList&& lines) { body_ = std::move(lines); }

  TQlEMailAddressItem& From() { return from_; }
  const TQlEMailAddressItem& From() const { return from_; }
  TQlEMailAddressItem& Sender() { return sender_; }
  TQlEMailAddressItem& ReceiptRecipient() { return receiptRecipient_; }
  TQlEMailAddressList& Recipients() { return recipients_; }
  const TQlEMailAddressList& Recipients() const { return recipients_; }
  TQlEMailAddressList& CCList() { return ccList_; }
  const TQlEMailAddressList& CCList() const { return ccList_; }
  TQlEMailAddressList& BccList() { return bccList_; }
  const TQlEMailAddressList& BccList() const { return bccList_; }
  TQlEMailAddressList& ReplyTo() { return replyTo_; }

  TQlHeaderList& ExtraHeaders() { return extraHeaders_; }
  TQlHeaderList& RawHeaders() { return rawHeaders_; }
  const TQlHeaderList& RawHeaders() const { return rawHeaders_; }
  StringList& NewsGroups() { return newsGroups_; }

  const std::string& Subject() const { return subject_; }
  void SetSubject(std::string value) { subject_ = std::move(value); }
  const std::string& Organization() const { return organization_; }
  void SetOrganization(std::string value) { organization_ = std::move(value); }
  const std::string& References() const { return references_; }
  void SetReferences(std::string value) { references_ = std::move(value); }
  const std::string& ContentType() const { return contentType_; }
  void SetContentType(std::string value) { contentType_ = std::move(value); }
  const std::string& CharSet() const { return charSet_; }
  void SetCharSet(std::string value) { charSet_ = std::move(value); }
  const std::string& ContentTransferEncoding() const { return contentTransferEncoding_; }
  void SetContentTransferEncoding(std::string value) { contentTransferEncoding_ = std::move(value); }
  const std::string& ContentDisposition() const { return contentDisposition_; }
  void SetContentDisposition(std::string value) { contentDisposition_ = std::move(value); }
  const std::string& AttachmentEncoding() const { return attachmentEncoding_; }

  TDateTime Date() const { return date_; }
  void SetDate(TDateTime value) { date_ = value; }
  bool UseNowForDate() const { return date_ == 0; }
  void SetUseNowForDate(bool value);
  TQlMessagePriority Priority() const { return priority_; }
  void SetPriority(TQlMessagePriority value) { priority_ = value; }
  TQlMessageEncoding Encoding() const { return encoding_; }
  void SetEncoding(TQlMessageEncoding value);
  bool NoEncode() const { return noEncode_; }
  void SetNoEncode(bool value) { noEncode_ = value; }
  bool NoDecode() const { return noDecode_; }
  void SetNoDecode(bool value) { noDecode_ = value; }

  void SetOnInitializeISO(TQlInitializeIsoEvent handler) { onInitializeIso_ = std::move(handler); }

  // This system never gives a message parts; the counts are always 0.
  int AttachmentCount() const { return 0; }
  int TextPartCount() const { return 0; }

  virtual void NotifyInitializeISO(TTransfer& transfer, char& encoding, std::string& charset);
  virtual void ResetMessage();
  void ResetHeaderFields();
  void ResetBody();

  // A new list of header lines, ready to be written each followed by CR LF.
  // Adds the charset parameter to ContentType on every call. Raises
  // EQlMessageException for a value or line that would put a line break on
  // the wire other than as a fold (CR LF and a blank), and
  // EQlFailedToRetreiveTimeZoneInfo when the date's zone offset is unknown.
  std::unique_ptr<TQlHeaderList> BuildHeaders();

 private:
  StringList body_;
  TQlEMailAddressItem from_, sender_, receiptRecipient_;
  TQlEMailAddressList recipients_, ccList_, bccList_, replyTo_;
  TQlHeaderList extraHeaders_, rawHeaders_;
  StringList newsGroups_;
  std::string subject_, organization_, references_, contentType_, charSet_,
      contentTransferEncoding_, contentDisposition_, attachmentEncoding_ = "MIME";
  TDateTime date_ = 0;
  TQlMessagePriority priority_ = TQlMessagePriority::mpNormal;
  TQlMessageEncoding encoding_ = TQlMessageEncoding::meMIME;
  bool noEncode_ = false;
  bool noDecode_ = false;
  TQlInitializeIsoEvent onInitializeIso_;
};

}  // namespace quillet
