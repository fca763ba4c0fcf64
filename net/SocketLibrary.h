#pragma once
// Run-time binding of the socket library. The library is loaded by
// StartSocketLibrary and each of its calls is looked up by name on first use;
// until the library is loaded (or after UnloadSocketLibrary) every call raises
// EQlWS2StubError "Error on call Winsock2 library function <name>" with 10093.

#include <cstdint>
#include <string>

#include "platform/socketlib/QlWinsock.h"

namespace quillet {

// The library's file name; the folder of the running program is searched
// first, then the system's default library search.
inline constexpr const char* kSocketLibraryName = "libqlws2.so";

// 0 at once when the library is loaded already (its start-up is not called
// again); otherwise loads it and returns its start-up's result for the
// version. Raises EQlWS2StubError "Error on loading Winsock2 library (<file>)"
// when the library cannot be loaded or has no start-up.
int32_t StartSocketLibrary(uint16_t version, qlws_wsadata* data);
// Frees the library at most once however many threads call it; later calls
// raise until the library is loaded again.
void UnloadSocketLibrary();
bool SocketLibraryLoaded();

// Test seam: load exactly this file instead of searching (empty restores the search).
void SetSocketLibraryFile(std::string path);

// The system's message text for an error number, trailing blanks, control
// characters and periods removed.
std::string SystemErrorMessage(uint32_t code);

// The library's calls, bound on first use.
namespace winsock {
int32_t WSACleanup();
int32_t WSAGetLastError();
void WSASetLastError(int32_t error);
qlws_socket_t socket(int32_t family, int32_t type, int32_t protocol);
int32_t bind(qlws_socket_t s, const qlws_sockaddr_in* name, int32_t length);
int32_t connect(qlws_socket_t s, const qlws_sockaddr_in* name, int32_t length);
int32_t getsockname(qlws_socket_t s, qlws_sockaddr_in* name, int32_t* length);
int32_t getpeername(qlws_socket_t s, qlws_sockaddr_in* name, int32_t* length);
int32_t send(qlws_socket_t s, const void* buffer, int32_t length, int32_t flags);
int32_t recv(qlws_socket_t s, void* buffer, int32_t length, int32_t flags);
int32_t select(int32_t ignored, qlws_fd_set* readable, qlws_fd_set* writable, qlws_fd_set* failed,
               const qlws_timeval* limit);
int32_t shutdown(qlws_socket_t s, int32_t how);
int32_t closesocket(qlws_socket_t s);
int32_t setsockopt(qlws_socket_t s, int32_t level, int32_t option, const void* value,
                   int32_t length);
int32_t getsockopt(qlws_socket_t s, int32_t level, int32_t option, void* value, int32_t* length);
int32_t ioctlsocket(qlws_socket_t s, int32_t command, uint32_t* argument);
uint16_t htons(uint16_t value);
uint16_t ntohs(uint16_t value);
qlws_hostent* gethostbyname(const char* name);
int32_t gethostname(char* name, int32_t length);
// Test seam: replaces the library's name resolution (null restores the system's).
qlws_host_resolver SetHostResolver(qlws_host_resolver resolver);
}  // namespace winsock

}  // namespace quillet
