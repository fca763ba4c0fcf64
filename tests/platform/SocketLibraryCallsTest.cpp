// The socket library on its own, loaded from the build as the stack loads it.

#include "platform/socketlib/QlWinsock.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>

namespace {

struct Library {
  void* module = dlopen(QUILLET_BIN_DIR "/libqlws2.so", RTLD_NOW | RTLD_LOCAL);

  template <typename Function>
  Function Get(const char* name) const {
    return reinterpret_cast<Function>(dlsym(module, (std::string(QLWS_EXPORT_PREFIX) + name).c_str()));
  }

  decltype(&qlws_WSAStartup) startup = Get<decltype(&qlws_WSAStartup)>("WSAStartup");
  decltype(&qlws_WSACleanup) cleanup = Get<decltype(&qlws_WSACleanup)>("WSACleanup");
  decltype(&qlws_WSAGetLastError) lastError = Get<decltype(&qlws_WSAGetLastError)>("WSAGetLastError");
  decltype(&qlws_socket) socket = Get<decltype(&qlws_socket)>("socket");
  decltype(&qlws_send) send = Get<decltype(&qlws_send)>("send");
  decltype(&qlws_select) select = Get<decltype(&qlws_select)>("select");
  decltype(&qlws_closesocket) closesocket = Get<decltype(&qlws_closesocket)>("closesocket");
  decltype(&qlws_gethostbyname) gethostbyname = Get<decltype(&qlws_gethostbyname)>("gethostbyname");
  decltype(&qlws_SetHostResolver) setResolver =
      Get<decltype(&qlws_SetHostResolver)>("SetHostResolver");
};

const Library& TheLibrary() {
  static const Library library;
  return library;
}

class SocketLibraryCallsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(lib.module, nullptr) << dlerror();
    qlws_wsadata data{};
    ASSERT_EQ(lib.startup(0x0202, &data), 0);
  }
  void TearDown() override { lib.cleanup(); }

  const Library& lib = TheLibrary();
};

TEST(SocketLibraryStartUp, CallsBeforeStartUpFailWithNotStarted) {
  const Library& lib = TheLibrary();
  ASSERT_NE(lib.module, nullptr) << dlerror();
  EXPECT_EQ(lib.socket(QLWS_AF_INET, QLWS_SOCK_STREAM, 0), QLWS_INVALID_SOCKET);
  EXPECT_EQ(lib.lastError(), QLWSANOTINITIALISED);
  EXPECT_EQ(lib.cleanup(), QLWS_SOCKET_ERROR);
  EXPECT_EQ(lib.lastError(), QLWSANOTINITIALISED);
  qlws_wsadata data{};
  EXPECT_EQ(lib.startup(0x0101, &data), QLWSAVERNOTSUPPORTED);
}

struct ResolverCase {
  const char* name;
  int32_t result;
  int32_t error;
};

std::atomic<int32_t> resolverResult{0};

int32_t ScriptedResolver(const char*, uint8_t (*)[4], int32_t) { return resolverResult.load(); }

class ResolverErrorTest : public SocketLibraryCallsTest,
                          public ::testing::WithParamInterface<ResolverCase> {};

TEST_P(ResolverErrorTest, BecomesWinsockNumber) {
  resolverResult = GetParam().result;
  const qlws_host_resolver previous = lib.setResolver(&ScriptedResolver);
  EXPECT_EQ(lib.gethostbyname("mail.example.test"), nullptr);
  EXPECT_EQ(lib.lastError(), GetParam().error);
  lib.setResolver(previous);
}

INSTANTIATE_TEST_SUITE_P(Table, ResolverErrorTest,
                         ::testing::Values(ResolverCase{"NoName", EAI_NONAME, 11001},
                                           ResolverCase{"TryAgain", EAI_AGAIN, 11002},
                                           ResolverCase{"Fail", EAI_FAIL, 11003},
                                           ResolverCase{"NoData", EAI_NODATA, 11004},
                                           ResolverCase{"NoAddresses", 0, 11004},
                                           ResolverCase{"Memory", EAI_MEMORY, 10055}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SocketLibraryCallsTest, EmptyHostNameIsNotFoundWithoutLookUp) {
  resolverResult = 1;
  const qlws_host_resolver previous = lib.setResolver(&ScriptedResolver);
  EXPECT_EQ(lib.gethostbyname(""), nullptr);
  EXPECT_EQ(lib.lastError(), QLWSAHOST_NOT_FOUND);
  lib.setResolver(previous);
}

TEST_F(SocketLibraryCallsTest, SendAfterShutdownFailsWithoutSignal) {
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  ::shutdown(pair[0], SHUT_WR);
  EXPECT_EQ(lib.send(pair[0], "x", 1, 0), QLWS_SOCKET_ERROR);  // no SIGPIPE ends the test
  EXPECT_EQ(lib.lastError(), QLWSAESHUTDOWN);
  ::close(pair[0]);
  ::close(pair[1]);
}

TEST_F(SocketLibraryCallsTest, SelectWorksAboveTheSystemSetSize) {
  rlimit files{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &files), 0);
  constexpr int kHighDescriptor = FD_SETSIZE + 476;
  if (files.rlim_max <= static_cast<rlim_t>(kHighDescriptor)) GTEST_SKIP() << "too few files allowed";
  const rlimit saved = files;
  files.rlim_cur = files.rlim_max;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &files), 0);

  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  ASSERT_EQ(::dup2(pair[0], kHighDescriptor), kHighDescriptor);
  qlws_fd_set readable{1, {kHighDescriptor}};
  const qlws_timeval none{0, 0};
  EXPECT_EQ(lib.select(0, &readable, nullptr, nullptr, &none), 0);
  EXPECT_EQ(readable.fd_count, 0u);

  ASSERT_EQ(::write(pair[1], "x", 1), 1);
  readable = {1, {kHighDescriptor}};
  const qlws_timeval second{1, 0};
  EXPECT_EQ(lib.select(0, &readable, nullptr, nullptr, &second), 1);
  ASSERT_EQ(readable.fd_count, 1u);
  EXPECT_EQ(readable.fd_array[0], kHighDescriptor);

  ::close(kHighDescriptor);
  ::close(pair[0]);
  ::close(pair[1]);
  setrlimit(RLIMIT_NOFILE, &saved);
}

TEST_F(SocketLibraryCallsTest, SelectRejectsBadArguments) {
  const qlws_socket_t s = lib.socket(QLWS_AF_INET, QLWS_SOCK_STREAM, 0);
  ASSERT_NE(s, QLWS_INVALID_SOCKET);
  qlws_fd_set readable{1, {s}};
  const qlws_timeval negative{0, -1000};
  EXPECT_EQ(lib.select(0, &readable, nullptr, nullptr, &negative), QLWS_SOCKET_ERROR);
  EXPECT_EQ(lib.lastError(), QLWSAEINVAL);
  EXPECT_EQ(lib.select(0, nullptr, nullptr, nullptr, &negative), QLWS_SOCKET_ERROR);
  EXPECT_EQ(lib.lastError(), QLWSAEINVAL);

  EXPECT_EQ(lib.closesocket(s), 0);
  readable = {1, {s}};
  const qlws_timeval none{0, 0};
  EXPECT_EQ(lib.select(0, &readable, nullptr, nullptr, &none), QLWS_SOCKET_ERROR);
  EXPECT_EQ(lib.lastError(), QLWSAENOTSOCK);
}

}  // namespace
