#include "net/SocketLibrary.h"

#include <gtest/gtest.h>

#include "net/Component.h"
#include "net/Stack.h"
#include "net/StackSockets.h"
#include "platform/Errors.h"

namespace quillet {
namespace {

// Each test leaves the library loaded from its usual place, as it found it.
class SocketLibraryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetSocketLibraryFile("");
    qlws_wsadata data{};
    if (!SocketLibraryLoaded()) {
      EXPECT_EQ(StartSocketLibrary(0x0202, &data), 0);
    }
  }
  TQlComponent component_;
};

TEST_F(SocketLibraryTest, CallsWithoutTheLibraryRaiseNotStarted) {
  UnloadSocketLibrary();
  UnloadSocketLibrary();  // a second unload finds nothing to free
  EXPECT_FALSE(SocketLibraryLoaded());
  try {
    SocketStack().OpenSocketHandle(kSocketStream, 0);
    FAIL() << "a call without the library must raise";
  } catch (const EQlWS2StubError& error) {
    EXPECT_EQ(error.ErrorTitle(), "Error on call Winsock2 library function socket");
    EXPECT_EQ(error.SystemErrorCode(), 10093u);
    EXPECT_EQ(error.Message(),
              "Error on call Winsock2 library function socket: " + error.SystemErrorText());
    EXPECT_FALSE(error.SystemErrorText().empty());
  }
  // The stack was started once for the process: a new stack does not start
  // the library again, so its calls still find no library.
  {
    TQlComponent later;
    EXPECT_TRUE(StackStarted());
    EXPECT_THROW(SocketStack().LocalHostName(), EQlWS2StubError);
  }
}

TEST_F(SocketLibraryTest, MissingLibraryFileRaisesLoadError) {
  UnloadSocketLibrary();
  const std::string missing = "/nonexistent/quillet/libqlws2.so";
  SetSocketLibraryFile(missing);
  qlws_wsadata data{};
  try {
    StartSocketLibrary(0x0202, &data);
    FAIL() << "loading a missing file must raise";
  } catch (const EQlWS2StubError& error) {
    EXPECT_EQ(error.ErrorTitle(), "Error on loading Winsock2 library (" + missing + ")");
    EXPECT_NE(error.SystemErrorCode(), 0u);
    const std::string& text = error.SystemErrorText();
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '.');
    EXPECT_GT(static_cast<unsigned char>(text.back()), ' ');
    EXPECT_EQ(error.Message(), error.ErrorTitle() + ": " + text);
  }
  EXPECT_FALSE(SocketLibraryLoaded());
}

TEST_F(SocketLibraryTest, LoadedLibraryIsNotStartedTwice) {
  ASSERT_TRUE(SocketLibraryLoaded());
  qlws_wsadata data{};
  data.wVersion = 0xBEEF;
  EXPECT_EQ(StartSocketLibrary(0x0202, &data), 0);
  EXPECT_EQ(data.wVersion, 0xBEEF);  // untouched: the library's start-up did not run
}

TEST_F(SocketLibraryTest, ReloadedLibraryBindsItsCallsAfresh) {
  UnloadSocketLibrary();
  qlws_wsadata data{};
  ASSERT_EQ(StartSocketLibrary(0x0202, &data), 0);
  EXPECT_EQ(data.wVersion, 0x0202);
  TQlStack& stack = SocketStack();
  const TQlSocketID s = stack.OpenSocketHandle(kSocketStream, 0);
  EXPECT_NE(s, kInvalidSocket);
  EXPECT_EQ(stack.CloseSocket(s), 0);
}

TEST(SystemErrorMessageTest, DropsTrailingPeriodsAndBlanks) {
  EXPECT_EQ(SystemErrorMessage(2), "No such file or directory");
  EXPECT_EQ(SystemErrorMessage(10093), "Successful WSAStartup not yet performed");
}

}  // namespace
}  // namespace quillet
