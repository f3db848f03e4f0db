// The socket component against real loopback servers on the headless backend. Each test listens on a
// 127.0.0.3x address of its own, named where needed in the fresh system root's hosts file. Names that
// must not resolve end in ".invalid", so that no lookup leaves the machine.
#include "ui/sockets.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "support/loopback_server.h"
#include "support/temp_root.h"
#include "ui/application.h"
#include "ui/exceptions.h"
#include "ui/forms.h"
#include "ui/headless/headless_backend.h"
#include "ui/layout.h"
#include "ui/message_box.h"

namespace ui {
namespace {

using testing_support::LoopbackServer;
using testing_support::TempRoot;

TMessageForm* OpenBox() { return dynamic_cast<TMessageForm*>(Application->TopModalForm()); }

// What the component told its handlers, in order, and whether any of it happened while the test was
// inside one of the component's calls.
struct Events {
  std::vector<std::string> seen;
  std::vector<int> errors;
  std::vector<win::SOCKET> sockets;
  bool inside = false;
  bool ran_inside = false;

  void Note(const std::string& what, win::SOCKET s) {
    seen.push_back(what);
    sockets.push_back(s);
    if (inside) ran_inside = true;
  }
  void Attach(TSockets* sockets) {
    sockets->OnSessionConnected = [this](TObject*, win::SOCKET s) { Note("connected", s); };
    sockets->OnErrorOccurred = [this](TObject*, win::SOCKET s, int error, const std::string& message) {
      errors.push_back(error);
      Note("error: " + message, s);
    };
  }
  // Runs `call` as the component's caller, noting handlers that run inside it.
  template <class F>
  void Inside(F call) {
    inside = true;
    call();
    inside = false;
  }
};

struct SocketsTest : ::testing::Test {
  TempRoot root;
  VirtualClock clock;
  HeadlessBackend backend{clock};
  TApplication app{backend, clock};
  TForm* form = new TForm(&app);
  Events events;

  void WriteHosts(const std::string& text) {
    TempRoot::WriteFile(root.drive_c() + "/windows/system32/drivers/etc/hosts", text);
  }
  TSockets* NewSockets(const std::string& address, const std::string& port) {
    auto* sockets = new TSockets(form);
    sockets->SetParent(form);
    sockets->Name = "Sockets1";
    sockets->IPAddr = address;
    sockets->Port = port;
    events.Attach(sockets);
    return sockets;
  }
  // Dispatches messages until `done` holds, then whatever else already waits.
  template <class F>
  void RunUntil(F done) {
    while (!done()) app.HandleMessage();
    app.ProcessMessages();
  }
};

TEST_F(SocketsTest, HostsNameReachesServerWhichGetsTheBytesOnceOnAConnectionLeftOpen) {
  LoopbackServer server("127.0.0.31", 9000);
  WriteHosts("127.0.0.31 SignUp.Sockets.Invalid\n");
  TSockets* sockets = NewSockets("signup.sockets.invalid", "9000");
  const std::string notice = "Vantiro 1.1 - 2026-12-11 08:00:00 - Ren\xE9@example.com";
  auto connected = sockets->OnSessionConnected;
  sockets->OnSessionConnected = [&](TObject* sender, win::SOCKET s) {
    connected(sender, s);
    events.Inside([&] { sockets->SetText(notice); });
  };

  events.Inside([&] { sockets->SConnect(); });
  EXPECT_TRUE(events.seen.empty());
  RunUntil([&] { return !events.seen.empty(); });

  ASSERT_TRUE(server.Accept());
  EXPECT_EQ(server.Read(notice.size()), notice);
  EXPECT_TRUE(server.Quiet());  // no terminator, no second copy, no end of stream
  EXPECT_EQ(events.seen, (std::vector<std::string>{"connected"}));
  EXPECT_EQ(events.sockets[0], sockets->Socket());
  EXPECT_FALSE(events.ran_inside);
  EXPECT_TRUE(app.SocketWatches().empty());  // nobody asked for incoming news: nothing is watched

  app.ProcessMessages();
  EXPECT_TRUE(server.Quiet());
  delete sockets;
  EXPECT_TRUE(server.PeerClosed());
  EXPECT_EQ(events.seen.size(), 1u);
}

TEST_F(SocketsTest, DottedAddressIsUsedWithoutLookup) {
  LoopbackServer server("127.0.0.32");
  // A lookup of the dotted text would answer 127.0.0.99, where nothing listens.
  WriteHosts("127.0.0.99 127.0.0.32\n");
  TSockets* sockets = NewSockets("127.0.0.32", server.port_text());
  events.Inside([&] { sockets->SConnect(); });
  RunUntil([&] { return !events.seen.empty(); });
  EXPECT_EQ(events.seen, (std::vector<std::string>{"connected"}));
  EXPECT_TRUE(server.Accept());
  EXPECT_FALSE(events.ran_inside);
}

TEST_F(SocketsTest, FailuresReachOnErrorOccurredAsMessagesAndNothingElse) {
  LoopbackServer closed_port("127.0.0.33", 0, /*listen=*/false);
  WriteHosts("127.0.0.33 closed.sockets.invalid\n");
  struct Case {
    std::string address, port;
    int error;
    std::string message;
    bool has_socket;
  } cases[] = {
      {"nobody.sockets.invalid", "9000", win::WSAHOST_NOT_FOUND, "error: Host not found (11001)", false},
      {"closed.sockets.invalid", closed_port.port_text(), win::WSAECONNREFUSED,
       "error: Connection refused (10061)", true},
      {"127.0.0.33", "90x0", win::WSAEINVAL, "error: Invalid argument (10022)", false},
      {"127.0.0.33", "65536", win::WSAEINVAL, "error: Invalid argument (10022)", false},
      {"127.0.0.33", "", win::WSAEINVAL, "error: Invalid argument (10022)", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address + ":" + c.port);
    events = Events{};
    TSockets* sockets = NewSockets(c.address, c.port);
    events.Inside([&] { sockets->SConnect(); });
    EXPECT_TRUE(events.seen.empty());
    RunUntil([&] { return !events.seen.empty(); });
    EXPECT_EQ(events.seen, (std::vector<std::string>{c.message}));
    EXPECT_EQ(events.errors, (std::vector<int>{c.error}));
    EXPECT_EQ(events.sockets[0] != win::INVALID_SOCKET, c.has_socket);
    EXPECT_FALSE(sockets->Connected());
    EXPECT_TRUE(app.SocketWatches().empty());
    delete sockets;
  }
}

TEST_F(SocketsTest, FailedAttemptMayBeRepeatedButAnOpenConnectionIsKept) {
  LoopbackServer server("127.0.0.34");
  TSockets* sockets = NewSockets("127.0.0.34", "90x0");
  sockets->SConnect();
  RunUntil([&] { return !events.seen.empty(); });
  sockets->Port = server.port_text();
  sockets->SConnect();
  RunUntil([&] { return events.seen.size() == 2; });
  EXPECT_EQ(events.seen[1], "connected");
  ASSERT_TRUE(server.Accept());
  EXPECT_THROW(sockets->SConnect(), Exception);
  app.ProcessMessages();
  EXPECT_TRUE(server.Quiet());  // the open connection was not touched
  EXPECT_EQ(events.seen.size(), 2u);
}

TEST_F(SocketsTest, WithoutAnErrorHandlerTheErrorDisplayShowsTheMessage) {
  LoopbackServer closed_port("127.0.0.35", 0, /*listen=*/false);
  app.Title = "Setup";
  TSockets* sockets = NewSockets("127.0.0.35", closed_port.port_text());
  sockets->OnErrorOccurred = nullptr;
  std::string caption, text;
  backend.When([] { return OpenBox() != nullptr; },
               [&] {
                 caption = OpenBox()->Caption();
                 text = OpenBox()->Message->Caption();
                 HeadlessBackend::Click(OpenBox()->OkButton);
               });
  sockets->SConnect();
  EXPECT_TRUE(text.empty());  // not shown from inside SConnect
  RunUntil([&] { return backend.ScriptDone() && !OpenBox(); });
  EXPECT_EQ(caption, "Setup");
  EXPECT_EQ(text, "Connection refused (10061)");
}

TEST_F(SocketsTest, SendingToAPeerThatResetReportsErrorsWithoutASignal) {
  std::signal(SIGPIPE, SIG_DFL);  // a send that raised it would end this test program
  LoopbackServer server("127.0.0.36");
  TSockets* sockets = NewSockets("127.0.0.36", server.port_text());
  sockets->SConnect();
  RunUntil([&] { return !events.seen.empty(); });
  ASSERT_EQ(events.seen, (std::vector<std::string>{"connected"}));
  ASSERT_TRUE(server.Accept());
  server.Reset();
  win::WSAPOLLFD fd{sockets->Socket(), win::POLLRDNORM, 0};
  ASSERT_EQ(win::WSAPoll(&fd, 1, LoopbackServer::kWaitLimitMs), 1);  // the reset has arrived

  events.Inside([&] { sockets->SetText("first"); });
  events.Inside([&] { sockets->SetText("second"); });
  EXPECT_EQ(events.seen.size(), 1u);
  RunUntil([&] { return events.seen.size() == 3; });
  EXPECT_EQ(events.errors, (std::vector<int>{win::WSAECONNRESET, win::WSAECONNRESET}));
  EXPECT_FALSE(events.ran_inside);
}

TEST_F(SocketsTest, WhatTheSystemDoesNotTakeAtOnceFollowsInOrderWhenTheSocketCanTakeIt) {
  LoopbackServer server("127.0.0.40");
  server.SetReceiveBuffer(64 << 10);
  TSockets* sockets = NewSockets("127.0.0.40", server.port_text());
  sockets->SConnect();
  RunUntil([&] { return !events.seen.empty(); });
  ASSERT_TRUE(server.Accept());
  std::string big(6 << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 / 3);
  events.Inside([&] { sockets->SetText(big); });
  ASSERT_FALSE(app.SocketWatches().empty());  // more than the system buffers hold: the rest waits
  events.Inside([&] { sockets->SetText("tail"); });
  std::string received;
  const std::size_t expected = big.size() + 4;
  while (received.size() < expected) {
    std::string more = server.ReadAvailable();
    // Nothing in flight: the component sends more once its socket can take it (the headless loop
    // gives up, failing the test, if that never happens).
    if (more.empty()) app.HandleMessage();
    received += more;
  }
  ASSERT_EQ(received.size(), expected);
  EXPECT_TRUE(received == big + "tail");
  EXPECT_TRUE(server.Quiet());
  EXPECT_EQ(events.seen, (std::vector<std::string>{"connected"}));
  EXPECT_FALSE(events.ran_inside);
}

TEST_F(SocketsTest, SetTextBeforeAConnectionIsAnErrorMessage) {
  LoopbackServer server("127.0.0.37");
  TSockets* sockets = NewSockets("127.0.0.37", server.port_text());
  events.Inside([&] { sockets->SetText("too early"); });
  events.Inside([&] { sockets->SConnect(); });
  events.Inside([&] { sockets->SetText("still too early"); });
  RunUntil([&] { return events.seen.size() == 3; });
  EXPECT_EQ(events.errors, (std::vector<int>{win::WSAENOTCONN, win::WSAENOTCONN}));
  EXPECT_EQ(events.seen.back(), "connected");
  EXPECT_FALSE(events.ran_inside);
  ASSERT_TRUE(server.Accept());
  EXPECT_TRUE(server.Quiet());  // nothing of the early texts was kept and sent later
}

TEST_F(SocketsTest, IncomingBytesAndThePeersEndReachTheirHandlers) {
  LoopbackServer server("127.0.0.38");
  TSockets* sockets = NewSockets("127.0.0.38", server.port_text());
  sockets->MaximumReceiveLength = 4;
  std::string received;
  bool closed = false;
  sockets->OnDataAvailable = [&](TObject*, win::SOCKET) { received += sockets->ReceiveText(); };
  sockets->OnSessionClosed = [&](TObject*, win::SOCKET) { closed = true; };
  sockets->SConnect();
  RunUntil([&] { return !events.seen.empty(); });
  ASSERT_TRUE(server.Accept());
  server.Write("welcome");
  server.Close();
  RunUntil([&] { return closed; });
  EXPECT_EQ(received, "welcome");  // in pieces of at most four bytes
  EXPECT_TRUE(app.SocketWatches().empty());
}

TEST_F(SocketsTest, BlockingModeRunsHandlersInsideItsCalls) {
  LoopbackServer server("127.0.0.39");
  LoopbackServer closed_port("127.0.0.39", 0, /*listen=*/false);
  TSockets* sockets = NewSockets("127.0.0.39", server.port_text());
  sockets->NonBlocking = false;
  sockets->Timeout = 60;
  sockets->SConnect();
  EXPECT_EQ(events.seen, (std::vector<std::string>{"connected"}));
  sockets->SetText("blocking");
  ASSERT_TRUE(server.Accept());
  EXPECT_EQ(server.Read(8), "blocking");

  TSockets* refused = NewSockets("127.0.0.39", closed_port.port_text());
  refused->NonBlocking = false;
  refused->SConnect();
  EXPECT_EQ(events.errors, (std::vector<int>{win::WSAECONNREFUSED}));
  EXPECT_EQ(app.PendingMessages(), 0u);
}

TEST_F(SocketsTest, LayoutSetsPropertiesAndBindsHandlersByName) {
  int connected = 0, failed = 0;
  form->RegisterHandler<void(TObject*, win::SOCKET)>("Sockets1SessionConnected",
                                                     [&](TObject*, win::SOCKET) { ++connected; });
  form->RegisterHandler<void(TObject*, win::SOCKET, int, const std::string&)>(
      "Sockets1ErrorOccurred", [&](TObject*, win::SOCKET, int, const std::string&) { ++failed; });
  ApplyLayout(ParseLayout("object Form1: TForm\n"
                          "  object Sockets1: TSockets\n"
                          "    Left = 16\n    Top = 16\n    Width = 0\n    Height = 0\n"
                          "    Port = '9000'\n    Timeout = 60\n    MaximumReceiveLength = 8192\n"
                          "    NonBlocking = False\n"
                          "    OnSessionConnected = Sockets1SessionConnected\n"
                          "    OnErrorOccurred = Sockets1ErrorOccurred\n"
                          "  end\n"
                          "end\n",
                          "test"),
              *form);
  auto* sockets = dynamic_cast<TSockets*>(form->FindComponent("Sockets1"));
  ASSERT_NE(sockets, nullptr);
  EXPECT_EQ(sockets->Parent(), form);
  EXPECT_EQ(sockets->Port, "9000");
  EXPECT_EQ(sockets->Timeout, 60);
  EXPECT_EQ(sockets->MaximumReceiveLength, 8192);
  EXPECT_FALSE(sockets->NonBlocking);
  EXPECT_EQ(sockets->Width(), 0);
  sockets->OnSessionConnected(sockets, 0);
  sockets->OnErrorOccurred(sockets, 0, 0, "");
  EXPECT_EQ(connected, 1);
  EXPECT_EQ(failed, 1);

  // A handler of another signature is refused by name.
  TForm* other = new TForm(&app);
  other->RegisterHandler<void(TObject*)>("Plain", [](TObject*) {});
  EXPECT_THROW(
      ApplyLayout(ParseLayout("object Form2: TForm\n  object S: TSockets\n    OnDataAvailable = Plain\n"
                              "  end\nend\n",
                              "test"),
                  *other),
      Exception);
}

TEST(SocketsDeathTest, FailedStartTellsTheUserAndEndsTheProgramWithZero) {
  for (bool press_ok : {true, false}) {
    EXPECT_EXIT(
        {
          VirtualClock clock;
          HeadlessBackend backend(clock);
          TApplication app(backend, clock);
          app.Title = "Setup";
          auto* form = new TForm(&app);
          backend.When([] { return OpenBox() != nullptr; },
                       [&] {
                         TMessageForm* box = OpenBox();
                         std::fprintf(stderr, "caption=[%s] text=[%s] cancel=%d\n", box->Caption().c_str(),
                                      box->Message->Caption().c_str(), box->CancelButton != nullptr);
                         HeadlessBackend::Click(press_ok ? box->OkButton : box->CancelButton);
                       });
          win::FailNextWSAStartupForTests(win::WSASYSNOTREADY);
          new TSockets(form);
          std::fprintf(stderr, "the constructor returned\n");
          std::_Exit(3);
        },
        ::testing::ExitedWithCode(0),
        "caption=\\[WINSOCK ERROR\\] text=\\[Could not start Windows Sockets 1\\.1 \\(WSAStartup\\): "
        "Network subsystem is unavailable \\(10091\\)\\] cancel=1")
        << (press_ok ? "OK" : "Cancel");
  }
}

}  // namespace
}  // namespace ui
