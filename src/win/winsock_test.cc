// Windows Sockets over real loopback sockets: start-up counting, the hosts file of a fresh system root,
// connect, send and poll. Each test that listens has a 127.0.0.2x address of its own. Names that must
// not be found end in ".invalid", so that no lookup leaves the machine.
#include "win/winsock.h"

#include <gtest/gtest.h>

#include <csignal>

#include "support/loopback_server.h"
#include "support/temp_root.h"

namespace win {
namespace {

using testing_support::LoopbackServer;
using testing_support::TempRoot;

constexpr std::uint32_t Ip(unsigned a, unsigned b, unsigned c, unsigned d) {
  return a << 24 | b << 16 | c << 8 | d;
}

// One counted start for the test's length.
struct Started {
  Started() {
    WSADATA data;
    EXPECT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  }
  ~Started() { WSACleanup(); }
};

struct WinsockTest : ::testing::Test {
  TempRoot root;
  std::string hosts_path = root.drive_c() + "/windows/system32/drivers/etc/hosts";
  void WriteHosts(const std::string& text) { TempRoot::WriteFile(hosts_path, text); }
};

// Waits for `events` on `s`; the Windows bits that came.
short WaitFor(SOCKET s, short events) {
  WSAPOLLFD fd{s, events, 0};
  return WSAPoll(&fd, 1, LoopbackServer::kWaitLimitMs) == 1 ? fd.revents : 0;
}

// A socket connected to `server` (connect completed).
SOCKET ConnectTo(const LoopbackServer& server, std::uint32_t address) {
  SOCKET s = TcpSocket();
  EXPECT_NE(s, INVALID_SOCKET);
  int result = Connect(s, address, server.port());
  if (result != 0) {
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    EXPECT_TRUE(WaitFor(s, POLLWRNORM) & POLLWRNORM);
  }
  EXPECT_EQ(SocketError(s), 0);
  return s;
}

TEST_F(WinsockTest, EveryCallNeedsAStartAndStartsAreCounted) {
  std::uint32_t address = 0;
  EXPECT_FALSE(ResolveHostName("127.0.0.1", address));
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(TcpSocket(), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  WSAPOLLFD none{INVALID_SOCKET, POLLRDNORM, 0};
  EXPECT_EQ(WSAPoll(&none, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);

  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  EXPECT_EQ(WSACleanup(), 0);
  SOCKET s = TcpSocket();  // one start is still there
  EXPECT_NE(s, INVALID_SOCKET);
  EXPECT_EQ(closesocket(s), 0);
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(TcpSocket(), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

TEST_F(WinsockTest, StartGrantsAtMostVersionOneOne) {
  struct Case {
    std::uint16_t asked;
    int result;
    std::uint16_t granted;
  } cases[] = {
      {MAKEWORD(1, 1), 0, MAKEWORD(1, 1)},
      {MAKEWORD(2, 2), 0, MAKEWORD(1, 1)},  // the caller sees 1.1 and decides
      {MAKEWORD(1, 0), 0, MAKEWORD(1, 0)},
      {MAKEWORD(0, 0), WSAVERNOTSUPPORTED, 0},
      {MAKEWORD(0, 1), WSAVERNOTSUPPORTED, 0},
  };
  for (const auto& c : cases) {
    WSADATA data;
    EXPECT_EQ(WSAStartup(c.asked, &data), c.result) << std::hex << c.asked;
    if (c.result != 0) continue;
    EXPECT_EQ(data.wVersion, c.granted) << std::hex << c.asked;
    EXPECT_EQ(data.wHighVersion, MAKEWORD(1, 1));
    EXPECT_EQ(WSACleanup(), 0);
  }
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);  // no start was left behind by the failures
}

TEST_F(WinsockTest, TestHookFailsExactlyTheNextStart) {
  FailNextWSAStartupForTests(WSASYSNOTREADY);
  WSADATA data;
  EXPECT_EQ(WSAStartup(MAKEWORD(1, 1), &data), WSASYSNOTREADY);
  EXPECT_EQ(TcpSocket(), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  EXPECT_EQ(WSACleanup(), 0);
}

TEST_F(WinsockTest, HostsFileFirstLineWinsIgnoringCaseAndComments) {
  Started started;
  WriteHosts(
      "# 127.0.0.50 commented.invalid\n"
      "127.0.0.21   Alpha.Invalid  alias-one.invalid   # 127.0.0.51 trailing.invalid\n"
      "127.0.0.22 alpha.invalid second.invalid\n"
      "::1 six.invalid\n"
      "127.0.0.23 six.invalid\n"
      "  \t127.0.0.24\tTabbed.Invalid\r\n"
      "not-an-address broken.invalid\n"
      "127.0.0.25 broken.invalid\n"
      "#127.0.0.26 hidden.invalid\n"
      "127.0.0.27#glued.invalid\n");
  struct Case {
    const char* name;
    std::uint32_t address;  // 0: not found
  } cases[] = {
      {"alpha.invalid", Ip(127, 0, 0, 21)},
      {"ALPHA.INVALID", Ip(127, 0, 0, 21)},
      {"Alias-One.Invalid", Ip(127, 0, 0, 21)},
      {"second.invalid", Ip(127, 0, 0, 22)},
      {"six.invalid", Ip(127, 0, 0, 23)},
      {"tabbed.invalid", Ip(127, 0, 0, 24)},
      {"broken.invalid", Ip(127, 0, 0, 25)},
      {"commented.invalid", 0},
      {"trailing.invalid", 0},
      {"hidden.invalid", 0},
      {"glued.invalid", 0},
      {"lpha.invalid", 0},
      {"", 0},
  };
  for (const auto& c : cases) {
    std::uint32_t address = 0;
    bool found = ResolveHostName(c.name, address);
    EXPECT_EQ(found, c.address != 0) << c.name;
    if (found)
      EXPECT_EQ(address, c.address) << c.name;
    else
      EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND) << c.name;
  }
}

TEST_F(WinsockTest, HostsFileIsReadAfreshOnEveryLookup) {
  Started started;
  std::uint32_t address = 0;
  WriteHosts("127.0.0.21 moving.invalid\n");
  ASSERT_TRUE(ResolveHostName("moving.invalid", address));
  EXPECT_EQ(address, Ip(127, 0, 0, 21));
  WriteHosts("127.0.0.22 moving.invalid\n");
  ASSERT_TRUE(ResolveHostName("moving.invalid", address));
  EXPECT_EQ(address, Ip(127, 0, 0, 22));
  WriteHosts("");
  EXPECT_FALSE(ResolveHostName("moving.invalid", address));
}

TEST_F(WinsockTest, DottedAddressIsUsedWithoutLookup) {
  Started started;
  // A hosts line that names the dotted text itself: a lookup would answer .99.
  WriteHosts("127.0.0.99 127.0.0.24\n");
  std::uint32_t address = 0;
  ASSERT_TRUE(ResolveHostName("127.0.0.24", address));
  EXPECT_EQ(address, Ip(127, 0, 0, 24));
}

TEST_F(WinsockTest, NamesTheHostsFileLacksGoToTheSystemResolver) {
  Started started;
  WriteHosts("# nothing here\n");
  std::uint32_t address = 0;
  ASSERT_TRUE(ResolveHostName("localhost", address));  // the host's own hosts file answers it
  EXPECT_EQ(address >> 24, 127u);
}

TEST_F(WinsockTest, ConnectSendAndReceiveOverLoopback) {
  Started started;
  LoopbackServer server("127.0.0.21");
  SOCKET s = ConnectTo(server, Ip(127, 0, 0, 21));
  ASSERT_TRUE(server.Accept());
  const std::string bytes("hello\0world", 11);
  EXPECT_EQ(send(s, bytes.data(), static_cast<int>(bytes.size()), 0), 11);
  EXPECT_EQ(server.Read(11), bytes);
  EXPECT_TRUE(server.Quiet());

  char buffer[16];
  EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), SOCKET_ERROR);  // nothing there yet: does not wait
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
  server.Write("pong");
  EXPECT_TRUE(WaitFor(s, POLLRDNORM) & POLLRDNORM);
  ASSERT_EQ(recv(s, buffer, 2, MSG_PEEK), 2);
  ASSERT_EQ(recv(s, buffer, sizeof buffer, 0), 4);
  EXPECT_EQ(std::string(buffer, 4), "pong");
  server.Close();
  EXPECT_TRUE(WaitFor(s, POLLRDNORM) & POLLRDNORM);
  EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), 0);
  EXPECT_EQ(closesocket(s), 0);
}

TEST_F(WinsockTest, RefusedConnectShowsInPollAndSocketError) {
  Started started;
  LoopbackServer closed_port("127.0.0.22", 0, /*listen=*/false);
  SOCKET s = TcpSocket();
  ASSERT_NE(s, INVALID_SOCKET);
  int result = Connect(s, Ip(127, 0, 0, 22), closed_port.port());
  int error = result == 0 ? 0 : WSAGetLastError();
  if (error == WSAEWOULDBLOCK) {
    EXPECT_TRUE(WaitFor(s, POLLWRNORM) & (POLLERR | POLLHUP));
    error = SocketError(s);
  }
  EXPECT_EQ(error, WSAECONNREFUSED);
  EXPECT_EQ(closesocket(s), 0);
}

TEST_F(WinsockTest, SendingToAResetPeerFailsWithoutASignal) {
  Started started;
  std::signal(SIGPIPE, SIG_DFL);  // a send that raised it would end this test program
  LoopbackServer server("127.0.0.23");
  SOCKET s = ConnectTo(server, Ip(127, 0, 0, 23));
  ASSERT_TRUE(server.Accept());
  server.Reset();
  EXPECT_TRUE(WaitFor(s, POLLRDNORM) != 0);
  for (int attempt = 0; attempt < 3; ++attempt) {
    EXPECT_EQ(send(s, "late", 4, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNRESET) << attempt;
  }
  EXPECT_EQ(closesocket(s), 0);
}

TEST_F(WinsockTest, BadArgumentsGetErrorsNotCrashes) {
  Started started;
  SOCKET s = TcpSocket();
  ASSERT_NE(s, INVALID_SOCKET);
  EXPECT_EQ(send(s, "x", -1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
  EXPECT_EQ(send(s, nullptr, 3, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
  EXPECT_EQ(send(s, "x", 1, 0), SOCKET_ERROR);  // never connected
  EXPECT_EQ(Connect(s, 0, 9000), SOCKET_ERROR) << "0.0.0.0 is no peer, not this machine";
  EXPECT_EQ(WSAGetLastError(), WSAEADDRNOTAVAIL);
  EXPECT_EQ(closesocket(s), 0);
  EXPECT_EQ(closesocket(s), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  EXPECT_EQ(closesocket(INVALID_SOCKET), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  EXPECT_EQ(WSAPoll(nullptr, 0, -1), SOCKET_ERROR);  // would wait for nothing, for ever
  EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
  EXPECT_EQ(SocketError(INVALID_SOCKET), WSAENOTSOCK);
}

}  // namespace
}  // namespace win
