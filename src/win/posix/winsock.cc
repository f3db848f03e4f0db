#include "win/winsock.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <fstream>
#include <sstream>
#include <vector>

#include "win/codepage.h"
#include "win/paths.h"

// <poll.h> spells its bits as macros with the Windows names and other values; keep the host's under
// names of their own and let the Windows names mean the Windows bits below.
namespace {
constexpr short kHostIn = POLLIN, kHostOut = POLLOUT, kHostErr = POLLERR, kHostHup = POLLHUP,
                kHostNval = POLLNVAL;
}  // namespace
#undef POLLRDNORM
#undef POLLWRNORM
#undef POLLERR
#undef POLLHUP
#undef POLLNVAL

namespace win {
namespace {

std::atomic<int> startups{0};
std::atomic<int> failing_startup{0};

struct ErrnoMapping {
  int error;
  int wsa;
};

// The one table from host errno values to Windows Sockets codes.
constexpr ErrnoMapping kErrnoTable[] = {
    {EINTR, WSAEINTR},
    {EBADF, WSAENOTSOCK},
    {ENOTSOCK, WSAENOTSOCK},
    {EACCES, WSAEACCES},
    {EPERM, WSAEACCES},
    {EFAULT, WSAEFAULT},
    {EINVAL, WSAEINVAL},
    {EMFILE, WSAEMFILE},
    {ENFILE, WSAEMFILE},
    {EAGAIN, WSAEWOULDBLOCK},
    {EINPROGRESS, WSAEWOULDBLOCK},  // a non-blocking connect under way reports this on Windows
    {EALREADY, WSAEALREADY},
    {EAFNOSUPPORT, WSAEAFNOSUPPORT},
    {EADDRINUSE, WSAEADDRINUSE},
    {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
    {ENETDOWN, WSAENETDOWN},
    {ENETUNREACH, WSAENETUNREACH},
    {ECONNABORTED, WSAECONNABORTED},
    {ECONNRESET, WSAECONNRESET},
    // Sending on a connection the peer has reset: Windows reports the reset, not a broken pipe.
    {EPIPE, WSAECONNRESET},
    {ENOBUFS, WSAENOBUFS},
    {ENOMEM, WSAENOBUFS},
    {EISCONN, WSAEISCONN},
    {ENOTCONN, WSAENOTCONN},
    {ESHUTDOWN, WSAESHUTDOWN},
    {ETIMEDOUT, WSAETIMEDOUT},
    {ECONNREFUSED, WSAECONNREFUSED},
    {EHOSTUNREACH, WSAEHOSTUNREACH},
    {EHOSTDOWN, WSAEHOSTUNREACH},
};

int WsaFromErrno(int error) {
  if (error == 0) return 0;
  for (const auto& mapping : kErrnoTable)
    if (mapping.error == error) return mapping.wsa;
  return WSAEINVAL;
}

// Sets the last error from errno and returns SOCKET_ERROR, for `return Failed();`.
int Failed(int error = errno) {
  WSASetLastError(WsaFromErrno(error));
  return SOCKET_ERROR;
}

int FailedWith(int wsa) {
  WSASetLastError(wsa);
  return SOCKET_ERROR;
}

bool Started() {
  if (startups.load() > 0) return true;
  WSASetLastError(WSANOTINITIALISED);
  return false;
}

// The descriptor behind `s`, or -1 when it cannot be one.
int Descriptor(SOCKET s) { return s > static_cast<SOCKET>(INT_MAX) ? -1 : static_cast<int>(s); }

bool ParseDotted(const std::string& text, std::uint32_t& address) {
  in_addr parsed{};
  if (inet_pton(AF_INET, text.c_str(), &parsed) != 1) return false;
  address = ntohl(parsed.s_addr);
  return true;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The first IPv4 line of the system root's hosts file that names `name`. Lines for other address
// families and lines whose address does not parse are passed over.
bool LookUpHostsFile(const std::string& name, std::uint32_t& address) {
  std::string host_path;
  if (!MapToHost("C:\\windows\\system32\\drivers\\etc\\hosts", host_path)) return false;
  std::ifstream in(host_path);
  std::string line;
  while (std::getline(in, line)) {
    if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream fields(line);
    std::string field;
    std::uint32_t line_address;
    if (!(fields >> field) || !ParseDotted(field, line_address)) continue;
    while (fields >> field) {
      if (EqualNoCase(field, name)) {
        address = line_address;
        return true;
      }
    }
  }
  return false;
}

bool UnderInvalid(const std::string& name) {
  std::string lower;
  for (char c : name) lower += LowerAscii(c);
  while (!lower.empty() && lower.back() == '.') lower.pop_back();
  const std::string suffix = ".invalid";
  return lower == "invalid" || (lower.size() > suffix.size() &&
                                lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) == 0);
}

bool LookUpResolver(const std::string& name, std::uint32_t& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int status = getaddrinfo(name.c_str(), nullptr, &hints, &found);
  if (status != 0) {
    WSASetLastError(status == EAI_AGAIN  ? WSATRY_AGAIN
                    : status == EAI_FAIL ? WSANO_RECOVERY
                                         : WSAHOST_NOT_FOUND);
    return false;
  }
  address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
  freeaddrinfo(found);
  return true;
}

}  // namespace

int WSAStartup(std::uint16_t version, WSADATA* data) {
  if (int error = failing_startup.exchange(0)) return error;
  if (!data) return WSAEFAULT;
  const unsigned major = version & 0xFF, minor = version >> 8;
  if (major < 1) return WSAVERNOTSUPPORTED;
  data->wVersion = major == 1 && minor == 0 ? MAKEWORD(1, 0) : MAKEWORD(1, 1);
  data->wHighVersion = MAKEWORD(1, 1);
  data->szDescription = "Windows Sockets 1.1 over POSIX sockets";
  data->szSystemStatus = "Running";
  ++startups;
  return 0;
}

int WSACleanup() {
  int count = startups.load();
  while (count > 0 && !startups.compare_exchange_weak(count, count - 1)) {
  }
  return count > 0 ? 0 : FailedWith(WSANOTINITIALISED);
}

int WSAGetLastError() { return static_cast<int>(GetLastError()); }
void WSASetLastError(int error) { SetLastError(static_cast<DWORD>(error)); }

void FailNextWSAStartupForTests(int error) { failing_startup = error; }

bool ResolveHostName(const std::string& name, std::uint32_t& address) {
  if (!Started()) return false;
  if (ParseDotted(name, address)) return true;
  if (name.empty() || name.find('\0') != std::string::npos) {
    WSASetLastError(WSAHOST_NOT_FOUND);
    return false;
  }
  if (LookUpHostsFile(name, address)) return true;
  if (UnderInvalid(name)) {
    WSASetLastError(WSAHOST_NOT_FOUND);
    return false;
  }
  return LookUpResolver(name, address);
}

SOCKET TcpSocket() {
  if (!Started()) return INVALID_SOCKET;
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    Failed();
    return INVALID_SOCKET;
  }
  return static_cast<SOCKET>(fd);
}

int Connect(SOCKET s, std::uint32_t address, std::uint16_t port) {
  if (!Started()) return SOCKET_ERROR;
  // The "any" address names no peer (hosts files map names they block to it). The host would take it
  // for this machine and hand the bytes to whatever listens here; Windows refuses it.
  if (address == INADDR_ANY) return FailedWith(WSAEADDRNOTAVAIL);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(address);
  to.sin_port = htons(port);
  if (connect(Descriptor(s), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return 0;
  // An interrupted connect goes on in the background, like one under way.
  return Failed(errno == EINTR ? EINPROGRESS : errno);
}

int SocketError(SOCKET s) {
  if (!Started()) return WSANOTINITIALISED;
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(Descriptor(s), SOL_SOCKET, SO_ERROR, &error, &size) != 0) return WsaFromErrno(errno);
  return WsaFromErrno(error);
}

int send(SOCKET s, const char* data, int length, int flags) {
  if (!Started()) return SOCKET_ERROR;
  if (length < 0) return FailedWith(WSAEINVAL);
  if (!data && length > 0) return FailedWith(WSAEFAULT);
  ssize_t sent;
  do {
    sent = ::send(Descriptor(s), data, static_cast<size_t>(length),
                  (flags & MSG_OOB ? MSG_OOB : 0) | MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent < 0 ? Failed() : static_cast<int>(sent);
}

int recv(SOCKET s, char* data, int length, int flags) {
  if (!Started()) return SOCKET_ERROR;
  if (length < 0) return FailedWith(WSAEINVAL);
  if (!data && length > 0) return FailedWith(WSAEFAULT);
  int host_flags = MSG_DONTWAIT | (flags & MSG_OOB ? MSG_OOB : 0) | (flags & MSG_PEEK ? MSG_PEEK : 0);
  ssize_t received;
  do {
    received = ::recv(Descriptor(s), data, static_cast<size_t>(length), host_flags);
  } while (received < 0 && errno == EINTR);
  return received < 0 ? Failed() : static_cast<int>(received);
}

int closesocket(SOCKET s) {
  if (!Started()) return SOCKET_ERROR;
  int fd = Descriptor(s);
  if (fd < 0) return FailedWith(WSAENOTSOCK);
  // Linux releases the descriptor even when close reports EINTR; retrying could close another's.
  if (close(fd) != 0 && errno != EINTR) return Failed();
  return 0;
}

int WSAPoll(WSAPOLLFD* fds, unsigned long count, int timeout_ms) {
  if (!Started()) return SOCKET_ERROR;
  if (count == 0 || !fds) return FailedWith(WSAEINVAL);
  std::vector<pollfd> host(count);
  for (unsigned long i = 0; i < count; ++i) {
    host[i].fd = Descriptor(fds[i].fd);
    host[i].events = static_cast<short>((fds[i].events & POLLRDNORM ? kHostIn : 0) |
                                        (fds[i].events & POLLWRNORM ? kHostOut : 0));
  }
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
  int ready;
  for (;;) {
    int wait = timeout_ms;
    if (timeout_ms > 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = left > 0 ? static_cast<int>(left) : 0;
    }
    ready = poll(host.data(), host.size(), wait);
    if (ready >= 0 || errno != EINTR) break;
  }
  if (ready < 0) return Failed();
  for (unsigned long i = 0; i < count; ++i) {
    const short r = host[i].revents;
    fds[i].revents = static_cast<short>((r & kHostIn ? POLLRDNORM : 0) | (r & kHostOut ? POLLWRNORM : 0) |
                                        (r & kHostErr ? POLLERR : 0) | (r & kHostHup ? POLLHUP : 0) |
                                        (r & kHostNval ? POLLNVAL : 0));
  }
  return ready;
}

}  // namespace win
