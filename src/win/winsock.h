// Windows Sockets 1.1 as the socket component needs it: start-up, IPv4 name lookup (the system root's
// hosts file first, then the system resolver), non-blocking TCP connect, send, and a readiness poll.
// Sending never raises a signal. Lookups block the caller; nothing here runs handlers.
#pragma once

#include <cstdint>
#include <string>

#include "win/types.h"

namespace win {

using SOCKET = std::uintptr_t;  // on POSIX the descriptor itself
constexpr SOCKET INVALID_SOCKET = ~SOCKET{0};
constexpr int SOCKET_ERROR = -1;

// Windows Sockets error codes (WSAGetLastError).
enum : int {
  WSAEINTR = 10004, WSAEBADF = 10009, WSAEACCES = 10013, WSAEFAULT = 10014, WSAEINVAL = 10022,
  WSAEMFILE = 10024, WSAEWOULDBLOCK = 10035, WSAEINPROGRESS = 10036, WSAEALREADY = 10037,
  WSAENOTSOCK = 10038, WSAEAFNOSUPPORT = 10047, WSAEADDRINUSE = 10048, WSAEADDRNOTAVAIL = 10049,
  WSAENETDOWN = 10050, WSAENETUNREACH = 10051, WSAECONNABORTED = 10053, WSAECONNRESET = 10054,
  WSAENOBUFS = 10055, WSAEISCONN = 10056, WSAENOTCONN = 10057, WSAESHUTDOWN = 10058,
  WSAETIMEDOUT = 10060, WSAECONNREFUSED = 10061, WSAEHOSTUNREACH = 10065,
  WSASYSNOTREADY = 10091, WSAVERNOTSUPPORTED = 10092, WSANOTINITIALISED = 10093,
  WSAHOST_NOT_FOUND = 11001, WSATRY_AGAIN = 11002, WSANO_RECOVERY = 11003, WSANO_DATA = 11004,
};

struct WSADATA {
  std::uint16_t wVersion = 0;
  std::uint16_t wHighVersion = 0;
  std::string szDescription;
  std::string szSystemStatus;
};

constexpr std::uint16_t MAKEWORD(unsigned low, unsigned high) {
  return static_cast<std::uint16_t>((low & 0xFF) | ((high & 0xFF) << 8));
}

// Starts the library for `version` (MAKEWORD(1, 1) = 1.1, the highest this library offers; a higher
// request is granted 1.1 and the caller checks wVersion). Starts are counted; every other call fails
// with WSANOTINITIALISED until one succeeded. 0 on success, else a WSA error code.
int WSAStartup(std::uint16_t version, WSADATA* data);
// Undoes one start. SOCKET_ERROR with WSANOTINITIALISED when there is none left.
int WSACleanup();
// The calling thread's last socket error (the same slot as GetLastError, as on Windows).
int WSAGetLastError();
void WSASetLastError(int error);

// Test hook: the next WSAStartup fails with `error` (a WSA code) and starts nothing. 0 cancels it.
void FailNextWSAStartupForTests(int error);

// Resolves a host name to one IPv4 address (host byte order in `address`): a dotted address is used
// directly; otherwise the system root's windows\system32\drivers\etc\hosts is read first (read afresh
// each call; the first line naming it wins; names compared without regard to case), then the system
// resolver. Names under ".invalid" never reach the resolver (they cannot exist). Blocks. False with
// WSAHOST_NOT_FOUND (or WSATRY_AGAIN / WSANO_RECOVERY) when there is no address.
bool ResolveHostName(const std::string& name, std::uint32_t& address);

// A TCP stream socket, non-blocking from the start, close-on-exec. INVALID_SOCKET on failure.
SOCKET TcpSocket();

// Starts connecting to `address`:`port` (host byte order). Returns 0 when connected at once, else
// SOCKET_ERROR with WSAEWOULDBLOCK when the connect is under way, or another error (WSAEADDRNOTAVAIL
// for 0.0.0.0, which names no peer).
int Connect(SOCKET s, std::uint32_t address, std::uint16_t port);

// The pending error of a socket (SO_ERROR) as a WSA code; 0 when the connect succeeded.
int SocketError(SOCKET s);

// Sends bytes once; never raises SIGPIPE. Bytes sent, or SOCKET_ERROR.
int send(SOCKET s, const char* data, int length, int flags);

enum : int { MSG_OOB = 0x1, MSG_PEEK = 0x2 };
// Receives up to `length` bytes without waiting. Bytes received, 0 when the peer closed its side, or
// SOCKET_ERROR (WSAEWOULDBLOCK when nothing is there yet).
int recv(SOCKET s, char* data, int length, int flags);

int closesocket(SOCKET s);

// WSAPoll: readiness of several sockets. Event bits as Windows defines them.
enum : short { POLLRDNORM = 0x0100, POLLWRNORM = 0x0010, POLLERR = 0x0001, POLLHUP = 0x0002,
               POLLNVAL = 0x0004 };
struct WSAPOLLFD {
  SOCKET fd;
  short events;
  short revents;
};
// Waits up to `timeout_ms` (-1: without limit) for any of `fds` to become ready. Number ready, 0 on
// time-out, SOCKET_ERROR on failure.
int WSAPoll(WSAPOLLFD* fds, unsigned long count, int timeout_ms);

}  // namespace win
