#pragma once
// A scripted SMTP-like peer for client tests: a thread listening on
// 127.0.0.1 (port 0) that plays one conversation, written as a script so the
// whole exchange of a test reads in one place:
//
//   S: 220 ready            send the text and CR LF
//   C: EHLO client.test     expect exactly this line (CR LF ended) from the client
//   C:                      expect an empty line
//   RAW: 250 cut\r\n        send bytes as written; \r \n \t \\ and \xNN escapes
//   DATA>                   take everything up to the "." line ending the data;
//                           the bytes before the dot line are kept (DataBytes)
//   SILENT 500              send nothing for 500 ms or until the client sends or closes
//   CLOSE                   close the connection
//   RESET                   abort the connection: the client sees a reset, not an end
//   EOF                     expect the client to close, sending nothing more
//   ACCEPT                  accept the next connection and go on there
//   # comment               (blank lines are skipped too)
//
// Every wait is bounded by the read limit, so a stuck client fails the script
// instead of hanging the test. After the last line the server expects the
// client to close without sending more. Finish returns the first step that
// did not go as written, or "" when every step did.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "platform/TextUtils.h"

namespace quillet::testing {

class ScriptedServer {
 public:
  explicit ScriptedServer(std::string script,
                          std::chrono::milliseconds readLimit = std::chrono::seconds(5));
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  uint16_t Port() const { return port_; }
  // Waits for the script to end; "" or a description of the first mismatch.
  std::string Finish();
  // Valid after Finish: the data phase's bytes, and every line the client sent.
  const std::string& DataBytes() const { return dataBytes_; }
  const StringList& ReceivedLines() const { return receivedLines_; }

 private:
  struct Connection;

  void Run();
  std::string RunStep(Connection& connection, const std::string& step);
  std::string ExpectLine(Connection& connection, const std::string& expected);
  std::string TakeData(Connection& connection);
  std::string ExpectClose(Connection& connection, const std::string& what);
  bool AcceptConnection(Connection& connection);

  std::string script_;
  std::chrono::milliseconds readLimit_;
  int listenFd_ = -1;
  uint16_t port_ = 0;
  int stopPipe_[2] = {-1, -1};
  std::thread thread_;
  std::string failure_;
  std::string dataBytes_;
  StringList receivedLines_;
  bool finished_ = false;
};

// A loopback port on which nothing listens (bound once, then released).
uint16_t UnusedLoopbackPort();

}  // namespace quillet::testing
