#include "net/Stack.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <netdb.h>
#include <unistd.h>

#include "net/Component.h"
#include "net/SocketLibrary.h"
#include "net/StackSockets.h"
#include "platform/Errors.h"

namespace quillet {
namespace {

// Keeps the socket stack alive and replaces the library's name resolution,
// so that no test asks the system's resolver anything.
class StackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lookups = 0;
    previous_ = winsock::SetHostResolver(&FakeResolver);
  }
  void TearDown() override { winsock::SetHostResolver(previous_); }

  // Knows "mail.example.test" as 10.1.2.3 and 10.9.9.9; any other name is unknown.
  static int32_t FakeResolver(const char* name, uint8_t (*addresses)[4], int32_t capacity) {
    ++lookups;
    if (std::strcmp(name, "mail.example.test") != 0 || capacity < 2) return EAI_NONAME;
    const uint8_t first[4] = {10, 1, 2, 3};
    const uint8_t second[4] = {10, 9, 9, 9};
    std::memcpy(addresses[0], first, 4);
    std::memcpy(addresses[1], second, 4);
    return 2;
  }

  static inline std::atomic<int> lookups{0};
  TQlComponent component_;
  TQlStack& stack_ = SocketStack();

 private:
  qlws_host_resolver previous_ = nullptr;
};

struct ErrorTextCase {
  const char* name;
  int32_t code;
  const char* message;
};

class SocketErrorTextTest : public StackTest, public ::testing::WithParamInterface<ErrorTextCase> {};

TEST_P(SocketErrorTextTest, IsNumberThenText) {
  EXPECT_EQ(stack_.SocketErrorText(GetParam().code), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SocketErrorTextTest,
    ::testing::Values(
        ErrorTextCase{"Refused", 10061, "Socket Error # 10061\r\nConnection refused."},
        ErrorTextCase{"NoDataHasNoText", 11004, "Socket Error # 11004\r\n"},
        ErrorTextCase{"WouldBlockEndsInBlank", 10035, "Socket Error # 10035\r\nOperation would block. "},
        ErrorTextCase{"NotEmptyWithoutPeriod", 10066, "Socket Error # 10066\r\nDirectory not empty"},
        ErrorTextCase{"HostNotFound", 11001, "Socket Error # 11001\r\nHost not found."},
        ErrorTextCase{"NotStartedHasNoText", 10093, "Socket Error # 10093\r\n"},
        ErrorTextCase{"Interrupted", 10004, "Socket Error # 10004\r\nInterrupted system call."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StackTest, CheckSocketResultPassesSuccessAndToleratesListedErrors) {
  EXPECT_FALSE(stack_.CheckSocketResult(5));
  EXPECT_FALSE(stack_.CheckSocketResult(0, {10048}));

  stack_.WSASetLastError(10048);
  EXPECT_TRUE(stack_.CheckSocketResult(-1, {10048}));
  EXPECT_EQ(stack_.LastSocketError(), 10048);

  stack_.WSASetLastError(10054);
  try {
    stack_.CheckSocketResult(-1, {10048});
    FAIL() << "an error not tolerated must raise";
  } catch (const EQlSocketError& error) {
    EXPECT_EQ(error.SocketErrorNumber(), 10054);
    EXPECT_EQ(error.Message(), "Socket Error # 10054\r\nConnection reset by peer.");
  }
  EXPECT_EQ(stack_.LastSocketError(), 10054);
}

struct QuadCase {
  const char* name;
  const char* text;
  bool dotted;
};

class DottedQuadTest : public ::testing::TestWithParam<QuadCase> {};

TEST_P(DottedQuadTest, Recognises) {
  EXPECT_EQ(TQlStack::IsDottedQuad(GetParam().text), GetParam().dotted) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DottedQuadTest,
    ::testing::Values(QuadCase{"Loopback", "127.0.0.1", true},
                      QuadCase{"LeadingBlank", " 10.1.1.1", true},
                      QuadCase{"HexPart", "0x7F.0.0.1", true},
                      QuadCase{"DollarHexPart", "$FF.0.0.1", true},
                      QuadCase{"PartAbove255", "256.1.1.1", false},
                      QuadCase{"ThreeParts", "1.2.3", false},
                      QuadCase{"FiveParts", "1.2.3.4.5", false},
                      QuadCase{"Letters", "a.b.c.d", false},
                      QuadCase{"EmptyPart", "1..3.4", false},
                      QuadCase{"TrailingBlank", "1.2.3.4 ", false},
                      QuadCase{"Empty", "", false},
                      QuadCase{"HostName", "mail.example.test", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DottedQuadParse, KeepsLowBytesAndRejectsNonNumbers) {
  EXPECT_EQ(TQlStack::ParseDottedQuad("0x7F.0.0.1"), (TQlAddressBytes{127, 0, 0, 1}));
  EXPECT_EQ(TQlStack::ParseDottedQuad("257.1.2.3"), (TQlAddressBytes{1, 1, 2, 3}));
  try {
    TQlStack::ParseDottedQuad("1.2.x.4");
    FAIL() << "a part that is no integer must raise";
  } catch (const EConvertError& error) {
    EXPECT_STREQ(error.what(), "'x' is not a valid integer value");
  }
}

TEST(AddressTextTest, WritesBytesWithoutLeadingZeros) {
  EXPECT_EQ(TQlStack::AddressText({10, 0, 0, 1}), "10.0.0.1");
  EXPECT_EQ(TQlStack::AddressText({192, 168, 0, 100}), "192.168.0.100");
  EXPECT_EQ(TQlStack::AddressText({255, 255, 255, 255}), "255.255.255.255");
}

TEST(SelectTimeValueTest, SplitsMillisecondsIntoSecondsAndMicroseconds) {
  const auto value = TQlStack::SelectTimeValue(1500);
  EXPECT_EQ(value.seconds, 1);
  EXPECT_EQ(value.microseconds, 500000);
  EXPECT_EQ(TQlStack::SelectTimeValue(999).microseconds, 999000);
  EXPECT_EQ(TQlStack::SelectTimeValue(0).seconds, 0);
  EXPECT_EQ(TQlStack::SelectTimeValue(0).microseconds, 0);
}

TEST_F(StackTest, LocalHostAndDottedQuadsResolveWithoutLookUp) {
  EXPECT_EQ(stack_.ResolveHostName("localhost"), "127.0.0.1");
  EXPECT_EQ(stack_.ResolveHostName("LocalHost"), "127.0.0.1");
  EXPECT_EQ(stack_.ResolveHostName("0x7F.0.0.1"), "0x7F.0.0.1");
  EXPECT_EQ(lookups.load(), 0);
}

TEST_F(StackTest, NamesResolveToTheFirstAddress) {
  EXPECT_EQ(stack_.ResolveHostName("mail.example.test"), "10.1.2.3");
  EXPECT_EQ(lookups.load(), 1);
}

TEST_F(StackTest, UnknownHostRaisesHostNotFound) {
  try {
    stack_.ResolveHostName("no.such.host");
    FAIL() << "an unknown host must raise";
  } catch (const EQlSocketError& error) {
    EXPECT_EQ(error.SocketErrorNumber(), 11001);
    EXPECT_EQ(error.Message(), "Socket Error # 11001\r\nHost not found.");
  }
  EXPECT_EQ(stack_.LastSocketError(), 11001);
}

TEST_F(StackTest, SelectRefusesMoreThan64Sockets) {
  TQlSocketList many(65, 0);
  EXPECT_THROW(stack_.Select(&many, nullptr, nullptr, 0), EQlStackSetSizeExceeded);
  TQlSocketList writable(65, 0);
  EXPECT_THROW(stack_.Select(nullptr, &writable, nullptr, 0), EQlStackSetSizeExceeded);
}

TEST_F(StackTest, LocalHostNameIsTheSystemsHostName) {
  char expected[256] = {};
  ASSERT_EQ(::gethostname(expected, sizeof(expected) - 1), 0);
  EXPECT_EQ(stack_.LocalHostName(), expected);
}

TEST(SocketStackLifetime, ExistsExactlyWhileComponentsLive) {
  EXPECT_THROW(SocketStack(), EQlStackError);
  {
    TQlComponent first;
    TQlStack* stack = &SocketStack();
    {
      TQlComponent second;
      EXPECT_EQ(&SocketStack(), stack);
    }
    EXPECT_EQ(&SocketStack(), stack);
    EXPECT_TRUE(StackStarted());
  }
  EXPECT_THROW(SocketStack(), EQlStackError);
  TQlComponent again;
  EXPECT_TRUE(StackStarted());
  EXPECT_NO_THROW(SocketStack());
}

}  // namespace
}  // namespace quillet
