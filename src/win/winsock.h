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

// Starts the library for `version` (0x0101 = 1.1). 0 on success, else a WSA error code.
int WSAStartup(std::uint16_t version, WSADATA* data);
int WSACleanup();
int WSAGetLastError();

// Resolves a host name to one IPv4 address (host byte order in `address`): a dotted address is used
// directly; otherwise the system root's windows\system32\drivers\etc\hosts is read first (first match,
// names compared without regard to case), then the system resolver. Blocks. False with
// WSAHOST_NOT_FOUND (or WSATRY_AGAIN / WSANO_RECOVERY) when there is no address.
bool ResolveHostName(const std::string& name, std::uint32_t& address);

// A TCP stream socket, non-blocking from the start, close-on-exec. INVALID_SOCKET on failure.
SOCKET TcpSocket();

// Starts connecting to `address`:`port` (host byte order). Returns 0 when connected at once, else
// SOCKET_ERROR with WSAEWOULDBLOCK when the connect is under way, or another error.
int Connect(SOCKET s, std::uint32_t address, std::uint16_t port);

// The pending error of a socket (SO_ERROR) as a WSA code; 0 when the connect succeeded.
int SocketError(SOCKET s);

// Sends bytes once; never raises SIGPIPE. Bytes sent, or SOCKET_ERROR.
int send(SOCKET s, const char* data, int length, int flags);

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
