// A TCP server on a loopback address for tests that watch what a client sends: listens (or only holds
// the port, so that connects are refused), accepts, reads, resets. Waits are bounded so that a broken
// client fails the test instead of hanging it; nothing asserts how long anything took.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace testing_support {

class LoopbackServer {
 public:
  static constexpr int kWaitLimitMs = 5000;

  // Binds `ip`:`port` (0: any free port) and listens, unless `listen` is false: then the port is only
  // held, and connects to it are refused.
  explicit LoopbackServer(const std::string& ip, std::uint16_t port = 0, bool listen = true) : ip_(ip) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    if (inet_pton(AF_INET, ip.c_str(), &at.sin_addr) != 1) throw std::runtime_error("bad address " + ip);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || (listen && ::listen(fd_, 8) != 0)) {
      close(fd_);
      throw std::runtime_error("cannot bind " + ip + ":" + std::to_string(port));
    }
    socklen_t size = sizeof at;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&at), &size);
    port_ = ntohs(at.sin_port);
  }
  ~LoopbackServer() {
    if (peer_ >= 0) close(peer_);
    close(fd_);
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  const std::string& ip() const { return ip_; }
  std::uint16_t port() const { return port_; }
  std::string port_text() const { return std::to_string(port_); }

  // Makes the receive buffer of connections accepted from now on small (`bytes`), so that a client's
  // large send cannot all be taken at once.
  void SetReceiveBuffer(int bytes) { setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes); }

  // True when a connection waits to be accepted now (no waiting).
  bool ConnectionPending() const { return Readable(fd_, 0); }

  // Accepts the next connection (waiting for it); false when none came.
  bool Accept() {
    if (!Readable(fd_, kWaitLimitMs)) return false;
    peer_ = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    return peer_ >= 0;
  }

  // Reads from the accepted connection until `count` bytes came, the peer closed, or nothing came in
  // time.
  std::string Read(std::size_t count) {
    std::string bytes;
    char buffer[4096];
    while (bytes.size() < count && Readable(peer_, kWaitLimitMs)) {
      ssize_t n = recv(peer_, buffer, std::min(sizeof buffer, count - bytes.size()), 0);
      if (n <= 0) break;
      bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
  }
  // The bytes waiting on the accepted connection now, without waiting for more.
  std::string ReadAvailable() {
    std::string bytes;
    char buffer[65536];
    while (Readable(peer_, 0)) {
      ssize_t n = recv(peer_, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
  }
  // True when the accepted connection has neither bytes nor an end of stream waiting now.
  bool Quiet() const { return !Readable(peer_, 0); }
  // True when the peer closed the connection (after any bytes still waiting, which are dropped).
  bool PeerClosed() {
    char buffer[4096];
    while (Readable(peer_, kWaitLimitMs)) {
      ssize_t n = recv(peer_, buffer, sizeof buffer, 0);
      if (n <= 0) return true;
    }
    return false;
  }
  // Sends bytes on the accepted connection.
  void Write(const std::string& bytes) { ::send(peer_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  // Closes the accepted connection with a reset instead of an orderly end.
  void Reset() {
    linger hard{1, 0};
    setsockopt(peer_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close(peer_);
    peer_ = -1;
  }
  // Closes the accepted connection in order.
  void Close() {
    close(peer_);
    peer_ = -1;
  }

  // select, not poll: <poll.h> would define macros over the Windows names the tests use.
  static bool Readable(int fd, int timeout_ms) {
    if (fd < 0) return false;
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    timeval wait{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    return select(fd + 1, &set, nullptr, nullptr, &wait) > 0;
  }

 private:
  std::string ip_;
  int fd_ = -1;
  int peer_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace testing_support
