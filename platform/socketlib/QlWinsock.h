#pragma once
// The socket library's binary interface: a Winsock 2 shaped API over POSIX
// sockets, exported with the prefix "qlws_" so that no export hides the C
// library's own socket calls. Structures, constants and error numbers are the
// Winsock ones; calls report failure by -1 (or a null pointer) and leave the
// Winsock error number in a per-thread last error.
//
// The program does not link this library: the socket stack loads it at run
// time and binds each call by name ("qlws_" + the Winsock name).

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(QLWS_BUILDING_LIBRARY)
#define QLWS_API __attribute__((visibility("default")))
#else
#define QLWS_API
#endif

#define QLWS_EXPORT_PREFIX "qlws_"

typedef int32_t qlws_socket_t;
#define QLWS_INVALID_SOCKET (-1)
#define QLWS_SOCKET_ERROR (-1)
#define QLWS_FD_SETSIZE 64

#define QLWS_AF_INET 2
#define QLWS_SOCK_STREAM 1
#define QLWS_SOCK_DGRAM 2
#define QLWS_IPPROTO_TCP 6
#define QLWS_TCP_NODELAY 1
// Our own extension: hold small sends back until uncorked (Linux TCP_CORK).
#define QLWS_TCP_CORK 0x7001
#define QLWS_SOL_SOCKET 0xFFFF
#define QLWS_SO_REUSEADDR 0x0004
#define QLWS_SO_KEEPALIVE 0x0008
#define QLWS_SO_SNDBUF 0x1001
#define QLWS_SO_RCVBUF 0x1002
#define QLWS_SO_ERROR 0x1007
// Milliseconds, as a 32-bit integer; a send that waits longer fails with 10060.
#define QLWS_SO_SNDTIMEO 0x1005
#define QLWS_SD_RECEIVE 0
#define QLWS_SD_SEND 1
#define QLWS_SD_BOTH 2
#define QLWS_MSG_OOB 0x1
#define QLWS_MSG_PEEK 0x2
#define QLWS_FIONBIO ((int32_t)0x8004667E)

// Winsock error numbers.
#define QLWSAEINTR 10004
#define QLWSAEBADF 10009
#define QLWSAEACCES 10013
#define QLWSAEFAULT 10014
#define QLWSAEINVAL 10022
#define QLWSAEMFILE 10024
#define QLWSAEWOULDBLOCK 10035
#define QLWSAEINPROGRESS 10036
#define QLWSAEALREADY 10037
#define QLWSAENOTSOCK 10038
#define QLWSAEDESTADDRREQ 10039
#define QLWSAEMSGSIZE 10040
#define QLWSAEPROTOTYPE 10041
#define QLWSAENOPROTOOPT 10042
#define QLWSAEPROTONOSUPPORT 10043
#define QLWSAESOCKTNOSUPPORT 10044
#define QLWSAEOPNOTSUPP 10045
#define QLWSAEPFNOSUPPORT 10046
#define QLWSAEAFNOSUPPORT 10047
#define QLWSAEADDRINUSE 10048
#define QLWSAEADDRNOTAVAIL 10049
#define QLWSAENETDOWN 10050
#define QLWSAENETUNREACH 10051
#define QLWSAENETRESET 10052
#define QLWSAECONNABORTED 10053
#define QLWSAECONNRESET 10054
#define QLWSAENOBUFS 10055
#define QLWSAEISCONN 10056
#define QLWSAENOTCONN 10057
#define QLWSAESHUTDOWN 10058
#define QLWSAETOOMANYREFS 10059
#define QLWSAETIMEDOUT 10060
#define QLWSAECONNREFUSED 10061
#define QLWSAELOOP 10062
#define QLWSAENAMETOOLONG 10063
#define QLWSAEHOSTDOWN 10064
#define QLWSAEHOSTUNREACH 10065
#define QLWSAENOTEMPTY 10066
#define QLWSASYSNOTREADY 10091
#define QLWSAVERNOTSUPPORTED 10092
#define QLWSANOTINITIALISED 10093
#define QLWSASYSCALLFAILURE 10107
#define QLWSAHOST_NOT_FOUND 11001
#define QLWSATRY_AGAIN 11002
#define QLWSANO_RECOVERY 11003
#define QLWSANO_DATA 11004

typedef struct qlws_sockaddr_in {
  int16_t sin_family;
  uint16_t sin_port;    // network order
  uint8_t sin_addr[4];  // network order
  char sin_zero[8];
} qlws_sockaddr_in;

typedef struct qlws_fd_set {
  uint32_t fd_count;
  qlws_socket_t fd_array[QLWS_FD_SETSIZE];
} qlws_fd_set;

typedef struct qlws_timeval {
  int32_t tv_sec;
  int32_t tv_usec;
} qlws_timeval;

typedef struct qlws_hostent {
  char* h_name;
  char** h_aliases;
  int16_t h_addrtype;
  int16_t h_length;
  char** h_addr_list;  // addresses of h_length bytes each, network order; null-ended
} qlws_hostent;

typedef struct qlws_wsadata {
  uint16_t wVersion;
  uint16_t wHighVersion;
  char szDescription[257];
  char szSystemStatus[129];
  uint16_t iMaxSockets;
  uint16_t iMaxUdpDg;
  char* lpVendorInfo;
} qlws_wsadata;

// Name resolution used by gethostbyname: fills up to capacity IPv4 addresses
// (network order) for the name and returns their count, or returns a
// getaddrinfo error code (EAI_*, never positive) when the name does not resolve.
typedef int32_t (*qlws_host_resolver)(const char* name, uint8_t (*addresses)[4], int32_t capacity);

QLWS_API int32_t qlws_WSAStartup(uint16_t version, qlws_wsadata* data);
QLWS_API int32_t qlws_WSACleanup(void);
QLWS_API int32_t qlws_WSAGetLastError(void);
QLWS_API void qlws_WSASetLastError(int32_t error);

QLWS_API qlws_socket_t qlws_socket(int32_t family, int32_t type, int32_t protocol);
QLWS_API int32_t qlws_bind(qlws_socket_t s, const qlws_sockaddr_in* name, int32_t length);
QLWS_API int32_t qlws_connect(qlws_socket_t s, const qlws_sockaddr_in* name, int32_t length);
QLWS_API int32_t qlws_getsockname(qlws_socket_t s, qlws_sockaddr_in* name, int32_t* length);
QLWS_API int32_t qlws_getpeername(qlws_socket_t s, qlws_sockaddr_in* name, int32_t* length);
QLWS_API int32_t qlws_send(qlws_socket_t s, const void* buffer, int32_t length, int32_t flags);
QLWS_API int32_t qlws_recv(qlws_socket_t s, void* buffer, int32_t length, int32_t flags);
QLWS_API int32_t qlws_select(int32_t ignored, qlws_fd_set* readable, qlws_fd_set* writable,
                             qlws_fd_set* failed, const qlws_timeval* limit);
QLWS_API int32_t qlws_shutdown(qlws_socket_t s, int32_t how);
QLWS_API int32_t qlws_closesocket(qlws_socket_t s);
QLWS_API int32_t qlws_setsockopt(qlws_socket_t s, int32_t level, int32_t option, const void* value,
                                 int32_t length);
QLWS_API int32_t qlws_getsockopt(qlws_socket_t s, int32_t level, int32_t option, void* value,
                                 int32_t* length);
QLWS_API int32_t qlws_ioctlsocket(qlws_socket_t s, int32_t command, uint32_t* argument);
QLWS_API uint16_t qlws_htons(uint16_t value);
QLWS_API uint16_t qlws_ntohs(uint16_t value);
QLWS_API qlws_hostent* qlws_gethostbyname(const char* name);
QLWS_API int32_t qlws_gethostname(char* name, int32_t length);

// Not a Winsock call: replaces the name resolution of gethostbyname for the
// whole process (null restores the system's resolver); returns the one replaced.
QLWS_API qlws_host_resolver qlws_SetHostResolver(qlws_host_resolver resolver);

#ifdef __cplusplus
}
#endif
