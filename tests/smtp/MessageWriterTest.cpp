// The message writer over an in-memory transport: dot-stuffing, bare line
// ends, the byte stream of the body, a write failing in the middle.

#include "smtp/MessageClient.h"

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "platform/SystemLocale.h"
#include "support/MemoryIOHandler.h"

namespace quillet {
namespace {

using testing::MemoryIOHandler;

class MessageWriter : public ::testing::Test {
 protected:
  MessageWriter() { writer.SetIOHandler(&transport); }

  MemoryIOHandler transport;
  TQlMessageClient writer;
  TQlMessage message;
};

TEST_F(MessageWriter, EveryAwkwardLineIsMadeSafeForTheDataPhase) {
  message.SetBody({
      ".",                                // a lone dot, on the first line
      ".leading",                         // a leading dot
      "",                                 // an empty line
      "a.b.",                             // dots elsewhere stay
      "..two",                            // two dots become three
      "bare\rCR",                         // a bare CR ends a line
      "bare\nLF",                         // so does a bare LF
      "smuggled\r\n.\r\nRSET",            // no early end of the data
      "dot after CR\r.x",                 // a piece starting with a dot is stuffed too
  });
  writer.WriteBodyLines(message);
  EXPECT_EQ(transport.Sent(),
            "..\r\n"
            "..leading\r\n"
            "\r\n"
            "a.b.\r\n"
            "...two\r\n"
            "bare\r\nCR\r\n"
            "bare\r\nLF\r\n"
            "smuggled\r\n..\r\nRSET\r\n"
            "dot after CR\r\n..x\r\n");
}

TEST_F(MessageWriter, CyrillicBodyGoesOutByteForByte) {
  // "Privet!", ".", "Poka" in code page 1251.
  message.SetBody({"\xCF\xF0\xE8\xE2\xE5\xF2\x21", ".", "\xCF\xEE\xEA\xE0\x2E"});
  ScopedSystemLocale russian("ru_RU.CP1251");
  writer.WriteMessageBody(message);
  EXPECT_EQ(transport.Sent(),
            "\xCF\xF0\xE8\xE2\xE5\xF2\x21\x0D\x0A\x2E\x2E\x0D\x0A\xCF\xEE\xEA\xE0\x2E\x0D\x0A");
}

TEST_F(MessageWriter, JapaneseBodyKeepsTheDotTestOfTheUnconvertedLine) {
  ScopedSystemLocale japanese("ja_JP");
  message.SetBody({".dot", "plain"});
  writer.WriteMessageBody(message);
  EXPECT_EQ(transport.Sent(), "..dot\r\nplain\r\n");
}

TEST_F(MessageWriter, BodyReportsEncodingText) {
  std::vector<std::string> texts;
  writer.SetOnStatus([&](TQlComponent&, TQlStatus status, const std::string& text) {
    if (status == TQlStatus::hsStatusText) texts.push_back(text);
  });
  message.SetBody({"x"});
  writer.WriteMessageBody(message);
  EXPECT_EQ(texts, std::vector<std::string>{"Encoding text"});
}

TEST_F(MessageWriter, FailedWriteStopsTheBodyAfterEndingTheWork) {
  int workEnds = 0;
  writer.SetOnWorkEnd([&](TQlComponent&, TWorkMode mode) {
    if (mode == TWorkMode::wmWrite) ++workEnds;
  });
  message.SetBody({"one", "two", "three"});
  transport.FailSendAfter(5, 10054);
  EXPECT_THROW(writer.WriteMessageBody(message), EQlSocketError);
  EXPECT_EQ(transport.Sent(), "one\r\n");
  EXPECT_EQ(workEnds, 1);
}

TEST_F(MessageWriter, UnencodedMessageGoesOutAsStored) {
  message.SetNoEncode(true);
  message.RawHeaders().Add("Subject: as is");
  message.SetBody({".kept", "end"});
  writer.WriteMessage(message);
  EXPECT_EQ(transport.Sent(), "Subject: as is\r\n\r\n.kept\r\nend\r\n");
}

}  // namespace
}  // namespace quillet
