#include "ui/sockets.h"

#include <algorithm>
#include <cstdlib>

#include "ui/application.h"
#include "ui/exceptions.h"
#include "ui/forms.h"
#include "ui/layout.h"

namespace ui {
namespace {

struct ErrorDescription {
  int error;
  const char* text;
};

constexpr ErrorDescription kErrorTexts[] = {
    {win::WSAEINTR, "Interrupted function call"},
    {win::WSAEBADF, "Bad file handle"},
    {win::WSAEACCES, "Permission denied"},
    {win::WSAEFAULT, "Bad address"},
    {win::WSAEINVAL, "Invalid argument"},
    {win::WSAEMFILE, "Too many open sockets"},
    {win::WSAEWOULDBLOCK, "Resource temporarily unavailable"},
    {win::WSAEINPROGRESS, "Operation now in progress"},
    {win::WSAEALREADY, "Operation already in progress"},
    {win::WSAENOTSOCK, "Socket operation on a non-socket"},
    {win::WSAEAFNOSUPPORT, "Address family not supported"},
    {win::WSAEADDRINUSE, "Address already in use"},
    {win::WSAEADDRNOTAVAIL, "Cannot assign requested address"},
    {win::WSAENETDOWN, "Network is down"},
    {win::WSAENETUNREACH, "Network is unreachable"},
    {win::WSAECONNABORTED, "Connection aborted"},
    {win::WSAECONNRESET, "Connection reset by peer"},
    {win::WSAENOBUFS, "No buffer space available"},
    {win::WSAEISCONN, "Socket is already connected"},
    {win::WSAENOTCONN, "Socket is not connected"},
    {win::WSAESHUTDOWN, "Cannot send after socket shutdown"},
    {win::WSAETIMEDOUT, "Connection timed out"},
    {win::WSAECONNREFUSED, "Connection refused"},
    {win::WSAEHOSTUNREACH, "No route to host"},
    {win::WSASYSNOTREADY, "Network subsystem is unavailable"},
    {win::WSAVERNOTSUPPORTED, "Windows Sockets version not supported"},
    {win::WSANOTINITIALISED, "Windows Sockets not started"},
    {win::WSAHOST_NOT_FOUND, "Host not found"},
    {win::WSATRY_AGAIN, "Host not found, try again"},
    {win::WSANO_RECOVERY, "Non-recoverable lookup failure"},
    {win::WSANO_DATA, "No address for the name"},
};

// "9000" -> 9000; false for anything but a decimal number from 1 to 65535.
bool ParsePort(const std::string& text, std::uint16_t& port) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value < 1 || value > 65535) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}

// Waits up to `timeout_seconds` (0: no limit) for `events` on `s`. 0 when ready, else a WSA error.
int WaitFor(win::SOCKET s, short events, int timeout_seconds) {
  win::WSAPOLLFD fd{s, events, 0};
  int ready = win::WSAPoll(&fd, 1, timeout_seconds > 0 ? timeout_seconds * 1000 : -1);
  if (ready == win::SOCKET_ERROR) return win::WSAGetLastError();
  return ready == 0 ? win::WSAETIMEDOUT : 0;
}

}  // namespace

std::string TSockets::ErrorText(int error) {
  for (const auto& e : kErrorTexts)
    if (e.error == error) return std::string(e.text) + " (" + std::to_string(error) + ")";
  return "Windows Sockets error (" + std::to_string(error) + ")";
}

TSockets::TSockets(TComponent* owner) : TControl(owner) {
  win::WSADATA data;
  int error = win::WSAStartup(win::MAKEWORD(1, 1), &data);
  if (error == 0 && data.wVersion != win::MAKEWORD(1, 1)) {
    win::WSACleanup();
    error = win::WSAVERNOTSUPPORTED;
  }
  if (error != 0) {
    // Without the socket library the program cannot go on: it tells the user and ends, whichever
    // button is pressed.
    if (Application)
      Application->MessageBox("Could not start Windows Sockets 1.1 (WSAStartup): " + ErrorText(error),
                              "WINSOCK ERROR", MB_OKCANCEL);
    std::exit(0);
  }
}

TSockets::~TSockets() {
  if (Application)
    for (int id : watches_) Application->CancelSocketWatch(id);
  if (socket_ != win::INVALID_SOCKET) win::closesocket(socket_);
  win::WSACleanup();
}

void TSockets::Later(std::function<void()> work) { Application->PostFor(this, std::move(work)); }

void TSockets::Watch(short events, std::function<void(short)> ready) {
  auto id = std::make_shared<int>(0);
  *id = Application->WatchSocket(
      socket_, events,
      [this, alive = Lifetime(), id, ready = std::move(ready)](short revents) {
        if (alive.expired()) return;
        watches_.erase(std::remove(watches_.begin(), watches_.end(), *id), watches_.end());
        ready(revents);
      });
  watches_.push_back(*id);
}

void TSockets::Fail(win::SOCKET socket, int error) {
  std::string message = ErrorText(error);
  if (OnErrorOccurred) OnErrorOccurred(this, socket, error, message);
  else Application->ShowException(message);
}

// ---- connecting

void TSockets::SConnect() {
  if (state_ == State::Connecting || state_ == State::Connected)
    throw Exception(Name + ": a connection is already " + (Connected() ? "open" : "being made"));
  if (state_ == State::Failed) {
    // A socket whose connect failed is of no further use; a new attempt needs a new one.
    for (int id : watches_) Application->CancelSocketWatch(id);
    watches_.clear();
    write_watched_ = read_watched_ = false;
    if (socket_ != win::INVALID_SOCKET) win::closesocket(socket_);
    socket_ = win::INVALID_SOCKET;
  }
  unsent_.clear();
  peer_closed_ = false;
  state_ = State::Connecting;

  // Failures before the connect is under way are reported like the connect's own: later, as messages.
  auto fail_early = [this](int error) {
    state_ = State::Failed;
    win::SOCKET s = socket_;
    if (NonBlocking) Later([this, s, error] { Fail(s, error); });
    else Fail(s, error);
  };
  std::uint16_t port = 0;
  if (!ParsePort(Port, port)) return fail_early(win::WSAEINVAL);
  std::uint32_t address = 0;
  if (!win::ResolveHostName(IPAddr, address)) return fail_early(win::WSAGetLastError());
  socket_ = win::TcpSocket();
  if (socket_ == win::INVALID_SOCKET) return fail_early(win::WSAGetLastError());

  int error = win::Connect(socket_, address, port) == 0 ? 0 : win::WSAGetLastError();
  if (!NonBlocking) {
    if (error == win::WSAEWOULDBLOCK) error = WaitFor(socket_, win::POLLWRNORM, Timeout);
    if (error == 0) error = win::SocketError(socket_);
    FinishConnect(error);
  } else if (error == win::WSAEWOULDBLOCK) {
    Watch(win::POLLWRNORM, [this](short) { FinishConnect(win::SocketError(socket_)); });
  } else {
    // Connected (or refused) at once: still told as a message, never from inside SConnect.
    Later([this, error] { FinishConnect(error); });
  }
}

void TSockets::FinishConnect(int error) {
  if (error != 0) {
    state_ = State::Failed;
    return Fail(socket_, error);
  }
  state_ = State::Connected;
  if (OnSessionConnected) OnSessionConnected(this, socket_);
  WatchReadable();
}

// ---- sending

void TSockets::SetText(const std::string& text) {
  if (state_ != State::Connected) {
    win::SOCKET s = socket_;
    if (NonBlocking) Later([this, s] { Fail(s, win::WSAENOTCONN); });
    else Fail(s, win::WSAENOTCONN);
    return;
  }
  unsent_ += text;
  if (!NonBlocking) return BlockingSend();
  if (!write_watched_) SendPending();
}

void TSockets::SendPending() {
  while (!unsent_.empty()) {
    int sent = win::send(socket_, unsent_.data(), static_cast<int>(unsent_.size()), 0);
    if (sent == win::SOCKET_ERROR) {
      int error = win::WSAGetLastError();
      if (error == win::WSAEWOULDBLOCK) break;
      // What could not be sent is dropped: the connection that was to carry it has failed.
      unsent_.clear();
      win::SOCKET s = socket_;
      Later([this, s, error] { Fail(s, error); });
      return;
    }
    unsent_.erase(0, static_cast<std::size_t>(sent));
  }
  if (unsent_.empty() || write_watched_) return;
  write_watched_ = true;
  Watch(win::POLLWRNORM, [this](short) {
    write_watched_ = false;
    SendPending();
  });
}

void TSockets::BlockingSend() {
  while (!unsent_.empty()) {
    int sent = win::send(socket_, unsent_.data(), static_cast<int>(unsent_.size()), 0);
    int error = sent == win::SOCKET_ERROR ? win::WSAGetLastError() : 0;
    if (error == win::WSAEWOULDBLOCK) error = WaitFor(socket_, win::POLLWRNORM, Timeout);
    if (error != 0) {
      unsent_.clear();
      return Fail(socket_, error);
    }
    if (sent > 0) unsent_.erase(0, static_cast<std::size_t>(sent));
  }
}

// ---- receiving

void TSockets::WatchReadable() {
  // Nobody listens for bytes or the peer's end: nothing is watched and such news is dropped.
  if (!OnDataAvailable && !OnSessionClosed) return;
  if (read_watched_ || peer_closed_ || state_ != State::Connected) return;
  read_watched_ = true;
  Watch(win::POLLRDNORM, [this](short) {
    read_watched_ = false;
    Readable();
  });
}

void TSockets::Readable() {
  char probe;
  int peeked = win::recv(socket_, &probe, 1, win::MSG_PEEK);
  if (peeked == 0) {
    peer_closed_ = true;
    if (OnSessionClosed) OnSessionClosed(this, socket_);
    return;
  }
  if (peeked == win::SOCKET_ERROR) {
    int error = win::WSAGetLastError();
    if (error == win::WSAEWOULDBLOCK) return WatchReadable();
    peer_closed_ = true;
    return Fail(socket_, error);
  }
  if (!OnDataAvailable) {
    ReceiveText();  // bytes nobody asked for are dropped; ReceiveText watches again
    return;
  }
  // The next notice comes once the handler (now or later) has called ReceiveText.
  OnDataAvailable(this, socket_);
}

std::string TSockets::ReceiveText() {
  if (state_ != State::Connected || peer_closed_) return "";
  std::string bytes(static_cast<std::size_t>(std::max(1, MaximumReceiveLength)), '\0');
  int received = win::recv(socket_, bytes.data(), static_cast<int>(bytes.size()), 0);
  bytes.resize(received > 0 ? static_cast<std::size_t>(received) : 0);
  // An end of stream or an error is left in place for the watch to find and report.
  WatchReadable();
  return bytes;
}

// ---- layouts

bool TSockets::ApplyProperty(const std::string& name, const LayoutValue& v, TForm& form) {
  auto missing = [&v] {
    return Exception("layout line " + std::to_string(v.line) + ": no handler " + v.text);
  };
  auto bind = [&](TSocketNotifyEvent& event) {
    event = form.FindHandler<void(TObject*, win::SOCKET)>(v.AsIdentifier());
    if (!event) throw missing();
  };
  if (name == "Port") Port = v.kind == LayoutValue::Integer ? std::to_string(v.number) : v.AsString();
  else if (name == "IPAddr") IPAddr = v.AsString();
  else if (name == "NonBlocking") NonBlocking = v.AsBool();
  else if (name == "Timeout") Timeout = v.AsInt();
  else if (name == "MaximumReceiveLength") MaximumReceiveLength = v.AsInt();
  else if (name == "OnSessionConnected") bind(OnSessionConnected);
  else if (name == "OnDataAvailable") bind(OnDataAvailable);
  else if (name == "OnDataNeeded") bind(OnDataNeeded);
  else if (name == "OnSessionAvailable") bind(OnSessionAvailable);
  else if (name == "OnSessionClosed") bind(OnSessionClosed);
  else if (name == "OnErrorOccurred") {
    OnErrorOccurred =
        form.FindHandler<void(TObject*, win::SOCKET, int, const std::string&)>(v.AsIdentifier());
    if (!OnErrorOccurred) throw missing();
  } else return TControl::ApplyProperty(name, v, form);
  return true;
}

}  // namespace ui
