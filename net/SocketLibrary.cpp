#include "net/SocketLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "platform/Errors.h"

namespace quillet {
namespace {

// One library call: its Winsock name and, once bound, its address in the
// loaded library (null while unbound).
struct EntryPoint {
  const char* name;
  std::atomic<void*> address{nullptr};
};

enum EntryIndex {
  eWSACleanup, eWSAGetLastError, eWSASetLastError, eSocket, eBind, eConnect, eGetSockName,
  eGetPeerName, eSend, eRecv, eSelect, eShutdown, eCloseSocket, eSetSockOpt, eGetSockOpt,
  eIoctlSocket, eHtons, eNtohs, eGetHostByName, eGetHostName, eSetHostResolver, eEntryCount
};

EntryPoint entryPointTable[eEntryCount] = {
    {"WSACleanup"}, {"WSAGetLastError"}, {"WSASetLastError"}, {"socket"}, {"bind"},
    {"connect"}, {"getsockname"}, {"getpeername"}, {"send"}, {"recv"}, {"select"},
    {"shutdown"}, {"closesocket"}, {"setsockopt"}, {"getsockopt"}, {"ioctlsocket"},
    {"htons"}, {"ntohs"}, {"gethostbyname"}, {"gethostname"}, {"SetHostResolver"}};

std::atomic<void*> libraryModule{nullptr};
std::mutex loadGuard;  // one load at a time; also guards libraryFile
std::string libraryFile;

std::string TrimSystemText(std::string text) {
  while (!text.empty()) {
    const auto last = static_cast<unsigned char>(text.back());
    if (last > ' ' && last != '.' && last != 127) break;
    text.pop_back();
  }
  return text;
}

std::string ProgramFolder() {
  std::error_code error;
  const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : program.parent_path().string();
}

// The files to try, in order.
std::vector<std::string> CandidateFiles() {
  if (!libraryFile.empty()) return {libraryFile};
  std::vector<std::string> files;
  const std::string folder = ProgramFolder();
  if (!folder.empty()) {
    const std::string beside = folder + "/" + kSocketLibraryName;
    if (std::filesystem::exists(beside)) files.push_back(beside);
  }
  files.push_back(kSocketLibraryName);
  return files;
}

[[noreturn]] void RaiseLoadFailure(const std::string& file, int savedErrno, const char* detail) {
  throw EQlWS2StubError("Error on loading Winsock2 library (" + file + ")",
                        static_cast<uint32_t>(savedErrno != 0 ? savedErrno : ELIBACC),
                        TrimSystemText(detail != nullptr ? detail : std::strerror(savedErrno)));
}

void* LoadLibraryFile() {
  std::string tried;
  int savedErrno = 0;
  std::string detail;
  for (const std::string& file : CandidateFiles()) {
    errno = 0;
    if (void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
    savedErrno = errno;
    const char* text = dlerror();
    detail = text != nullptr ? text : "";
    tried = file;
    // A library that exists but does not load is reported as it is, not hidden
    // behind a search for another copy.
    if (file.find('/') != std::string::npos) break;
  }
  RaiseLoadFailure(tried, savedErrno, detail.empty() ? nullptr : detail.c_str());
}

void* BindEntryPoint(EntryPoint& entry) {
  void* module = libraryModule.load();
  const std::string title = std::string("Error on call Winsock2 library function ") + entry.name;
  if (module == nullptr) {
    throw EQlWS2StubError(title, QLWSANOTINITIALISED, SystemErrorMessage(QLWSANOTINITIALISED));
  }
  dlerror();
  void* address = dlsym(module, (std::string(QLWS_EXPORT_PREFIX) + entry.name).c_str());
  if (address == nullptr) {
    const char* text = dlerror();
    throw EQlWS2StubError(title, ENOSYS, TrimSystemText(text != nullptr ? text : "symbol not found"));
  }
  entry.address.store(address);
  return address;
}

template <typename Function>
Function Bound(EntryIndex index) {
  EntryPoint& entry = entryPointTable[index];
  void* address = entry.address.load();
  if (address == nullptr) address = BindEntryPoint(entry);
  return reinterpret_cast<Function>(address);
}

// Calls the entry's library function; Signature names the export's type only,
// the program never links the export itself.
template <typename Signature, typename... Args>
auto Call(EntryIndex index, Args... args) {
  return Bound<Signature>(index)(args...);
}

}  // namespace

int32_t StartSocketLibrary(uint16_t version, qlws_wsadata* data) {
  std::lock_guard lock(loadGuard);
  if (libraryModule.load() != nullptr) return 0;
  void* module = LoadLibraryFile();
  dlerror();
  auto startup = reinterpret_cast<decltype(&qlws_WSAStartup)>(
      dlsym(module, QLWS_EXPORT_PREFIX "WSAStartup"));
  if (startup == nullptr) {
    const char* text = dlerror();
    const std::string detail = text != nullptr ? text : "no WSAStartup";
    dlclose(module);
    RaiseLoadFailure(libraryFile.empty() ? kSocketLibraryName : libraryFile, ENOSYS, detail.c_str());
  }
  libraryModule.store(module);
  return startup(version, data);
}

void UnloadSocketLibrary() {
  void* module = libraryModule.exchange(nullptr);
  if (module == nullptr) return;
  for (EntryPoint& entry : entryPointTable) entry.address.store(nullptr);
  dlclose(module);
}

bool SocketLibraryLoaded() { return libraryModule.load() != nullptr; }

void SetSocketLibraryFile(std::string path) {
  std::lock_guard lock(loadGuard);
  libraryFile = std::move(path);
}

std::string SystemErrorMessage(uint32_t code) {
  switch (code) {
    case QLWSANOTINITIALISED: return "Successful WSAStartup not yet performed";
    case QLWSASYSNOTREADY: return "Network subsystem is unavailable";
    case QLWSAVERNOTSUPPORTED: return "Winsock.dll version out of range";
    default: break;
  }
  char buffer[256] = {};
  return TrimSystemText(strerror_r(static_cast<int>(code), buffer, sizeof(buffer)));
}

namespace winsock {
int32_t WSACleanup() { return Call<decltype(&qlws_WSACleanup)>(eWSACleanup); }
int32_t WSAGetLastError() { return Call<decltype(&qlws_WSAGetLastError)>(eWSAGetLastError); }
void WSASetLastError(int32_t error) { Call<decltype(&qlws_WSASetLastError)>(eWSASetLastError, error); }
qlws_socket_t socket(int32_t family, int32_t type, int32_t protocol) {
  return Call<decltype(&qlws_socket)>(eSocket, family, type, protocol);
}
int32_t bind(qlws_socket_t s, const qlws_sockaddr_in* name, int32_t length) {
  return Call<decltype(&qlws_bind)>(eBind, s, name, length);
}
int32_t connect(qlws_socket_t s, const qlws_sockaddr_in* name, int32_t length) {
  return Call<decltype(&qlws_connect)>(eConnect, s, name, length);
}
int32_t getsockname(qlws_socket_t s, qlws_sockaddr_in* name, int32_t* length) {
  return Call<decltype(&qlws_getsockname)>(eGetSockName, s, name, length);
}
int32_t getpeername(qlws_socket_t s, qlws_sockaddr_in* name, int32_t* length) {
  return Call<decltype(&qlws_getpeername)>(eGetPeerName, s, name, length);
}
int32_t send(qlws_socket_t s, const void* buffer, int32_t length, int32_t flags) {
  return Call<decltype(&qlws_send)>(eSend, s, buffer, length, flags);
}
int32_t recv(qlws_socket_t s, void* buffer, int32_t length, int32_t flags) {
  return Call<decltype(&qlws_recv)>(eRecv, s, buffer, length, flags);
}
int32_t select(int32_t ignored, qlws_fd_set* readable, qlws_fd_set* writable, qlws_fd_set* failed,
               const qlws_timeval* limit) {
  return Call<decltype(&qlws_select)>(eSelect, ignored, readable, writable, failed, limit);
}
int32_t shutdown(qlws_socket_t s, int32_t how) { return Call<decltype(&qlws_shutdown)>(eShutdown, s, how); }
int32_t closesocket(qlws_socket_t s) { return Call<decltype(&qlws_closesocket)>(eCloseSocket, s); }
int32_t setsockopt(qlws_socket_t s, int32_t level, int32_t option, const void* value,
                   int32_t length) {
  return Call<decltype(&qlws_setsockopt)>(eSetSockOpt, s, level, option, value, length);
}
int32_t getsockopt(qlws_socket_t s, int32_t level, int32_t option, void* value, int32_t* length) {
  return Call<decltype(&qlws_getsockopt)>(eGetSockOpt, s, level, option, value, length);
}
int32_t ioctlsocket(qlws_socket_t s, int32_t command, uint32_t* argument) {
  return Call<decltype(&qlws_ioctlsocket)>(eIoctlSocket, s, command, argument);
}
uint16_t htons(uint16_t value) { return Call<decltype(&qlws_htons)>(eHtons, value); }
uint16_t ntohs(uint16_t value) { return Call<decltype(&qlws_ntohs)>(eNtohs, value); }
qlws_hostent* gethostbyname(const char* name) {
  return Call<decltype(&qlws_gethostbyname)>(eGetHostByName, name);
}
int32_t gethostname(char* name, int32_t length) {
  return Call<decltype(&qlws_gethostname)>(eGetHostName, name, length);
}
qlws_host_resolver SetHostResolver(qlws_host_resolver resolver) {
  return Call<decltype(&qlws_SetHostResolver)>(eSetHostResolver, resolver);
}
}  // namespace winsock

}  // namespace quillet
