#pragma once
// The message writer: puts one message onto an open connection as RFC 5322
// text for the SMTP data phase - header lines, an empty line, body lines -
// each ended by CR LF, with a leading dot doubled (RFC 5321 section 4.5.2).
// It never writes the terminating "." line and never reads.
//
// A bare CR or LF never reaches the wire through a header or body line: such
// a line is split there into lines (CR LF, lone CR and lone LF each end one),
// and each piece is dot-stuffed on its own. Lines of a message with NoEncode
// go out as stored; their caller vouches for them.
//
// Raises what BuildHeaders raises (before anything is written) and what the
// connection raises on a write (the rest of the message is then not written).

#include "mail/Message.h"
#include "smtp/TCPClient.h"

namespace quillet {

class TQlMessageClient : public TQlTCPClient {
 public:
  virtual void WriteMessage(TQlMessage& message, bool headersOnly = false);
  // The header block, without the empty line that ends it.
  virtual void WriteMessageHeader(TQlMessage& message);
  virtual void WriteMessageBody(TQlMessage& message);
  virtual void WriteBodyLines(TQlMessage& message);

 protected:
  // One line of the data phase: split at bare line ends, each piece dot-stuffed.
  void WriteDataLine(const std::string& line);
};

}  // namespace quillet
