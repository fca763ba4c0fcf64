// Command replies read off the line connection: whatever the server sends,
// reading ends in replies or in one of the connection's own errors, and the
// same bytes give the same replies and the same end however they are cut
// into receives.

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

#include "net/Component.h"
#include "platform/Errors.h"
#include "smtp/TCPConnection.h"
#include "support/FuzzSupport.h"
#include "support/MemoryIOHandler.h"

using namespace quillet;
using quillet::fuzz::InputReader;
using quillet::testing::MemoryIOHandler;

namespace {

struct Settings {
  int32_t maxLineLength;
  TQlMaxLineAction action;
};

struct Outcome {
  std::vector<std::string> replies;  // code, numeric code and text lines of each reply
  std::string end;                   // the error that ended the reading

  bool operator==(const Outcome&) const = default;
};

std::string Describe(const TQlRFCReply& reply) {
  std::string text = reply.TextCode() + "|" + std::to_string(reply.NumericCode());
  for (const std::string& line : reply.Text()) text += "|" + line;
  return text;
}

std::string Describe(const Outcome& outcome) {
  std::string text;
  for (const std::string& reply : outcome.replies) text += reply + "\n";
  return text + "end: " + outcome.end;
}

// Reads replies until the connection's input is used up.
Outcome ReadAll(const std::vector<std::string>& pieces, const Settings& settings) {
  MemoryIOHandler transport;
  for (const std::string& piece : pieces) transport.Feed(piece);
  transport.FeedClose();
  TQlTCPConnection connection;
  connection.SetIOHandler(&transport);
  connection.SetMaxLineLength(settings.maxLineLength);
  connection.SetMaxLineAction(settings.action);
  Outcome outcome;
  // Every reply takes at least one byte, so this bounds the loop.
  const size_t limit = 2 + [&] {
    size_t total = 0;
    for (const std::string& piece : pieces) total += piece.size();
    return total;
  }();
  for (size_t i = 0; i < limit; ++i) {
    try {
      connection.ReadReply();
    } catch (const EQlException& error) {
      outcome.end = typeid(error).name() + std::string(": ") + error.what();
      return outcome;
    }
    outcome.replies.push_back(Describe(connection.LastReply()));
  }
  quillet::fuzz::Fail("reading replies ends", Describe(outcome));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The socket stack lives for the whole run rather than being loaded per input.
  static TQlComponent* const stackKeeper = new TQlComponent();
  (void)stackKeeper;

  InputReader input(data, size);
  const uint8_t lineControl = input.Byte();
  const uint32_t cutSeedLow = input.Byte();
  const uint32_t cutSeed = cutSeedLow | static_cast<uint32_t>(input.Byte()) << 8;
  const Settings settings{
      lineControl < 128 ? 16384 : 2 + lineControl % 64,
      (lineControl & 1) ? TQlMaxLineAction::maSplit : TQlMaxLineAction::maException};
  const std::string bytes(input.Rest());

  const Outcome whole = ReadAll({bytes}, settings);

  std::vector<std::string> pieces;
  std::minstd_rand cuts(cutSeed + 1);
  for (size_t at = 0; at < bytes.size();) {
    const size_t length = 1 + cuts() % 16;
    pieces.push_back(bytes.substr(at, length));
    at += length;
  }
  const Outcome cut = ReadAll(pieces, settings);
  FUZZ_CHECK(cut == whole, Describe(whole) + "\n--- cut:\n" + Describe(cut));

  pieces.clear();
  for (const char c : bytes) pieces.emplace_back(1, c);
  const Outcome single = ReadAll(pieces, settings);
  FUZZ_CHECK(single == whole, Describe(whole) + "\n--- byte by byte:\n" + Describe(single));
  return 0;
}
