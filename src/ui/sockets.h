// TSockets: one client TCP connection as a control of zero size on a form. It starts the socket library
// when made (a failure there ends the program after telling the user), owns its socket, and closes it
// only when destroyed. With NonBlocking (the default) SConnect and SetText return at once: completion
// and every failure arrive later as messages, so no handler ever runs inside them. Name lookup blocks.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/component.h"
#include "win/winsock.h"

namespace ui {

using TSocketNotifyEvent = std::function<void(TObject* sender, win::SOCKET socket)>;
using TSocketErrorEvent =
    std::function<void(TObject* sender, win::SOCKET socket, int error, const std::string& message)>;

class TSockets : public TControl {
 public:
  explicit TSockets(TComponent* owner);
  ~TSockets() override;

  std::string Port;    // decimal port number, "1".."65535"
  std::string IPAddr;  // dotted IPv4 address or host name
  bool NonBlocking = true;
  int Timeout = 0;  // seconds a blocking connect or send may wait (NonBlocking false); 0: no limit
  int MaximumReceiveLength = 8192;  // most bytes one ReceiveText returns

  TSocketNotifyEvent OnSessionConnected;  // the connection is up
  TSocketNotifyEvent OnDataAvailable;     // bytes wait; the next one comes after ReceiveText
  TSocketNotifyEvent OnSessionClosed;     // the peer ended the connection
  TSocketErrorEvent OnErrorOccurred;      // unassigned: the error display shows the message
  // Accepted from layouts and never raised: a client never accepts sessions, and sends only when told.
  TSocketNotifyEvent OnDataNeeded;
  TSocketNotifyEvent OnSessionAvailable;

  // Looks IPAddr up (blocking), makes a socket and starts connecting to Port. Raises ui::Exception
  // while a connection is being made or is up; a failed attempt may be repeated.
  void SConnect();
  // Sends `text`'s bytes as they are, once. Bytes the system does not take at once are sent when the
  // socket can take them; it does not wait for them to leave.
  void SetText(const std::string& text);
  // The bytes waiting now, at most MaximumReceiveLength; "" when none.
  std::string ReceiveText();

  win::SOCKET Socket() const { return socket_; }
  bool Connected() const { return state_ == State::Connected; }

  bool ApplyProperty(const std::string& name, const LayoutValue& value, TForm& form) override;

  // A short description of a Windows Sockets error with its code: "Connection refused (10061)".
  static std::string ErrorText(int error);

 private:
  enum class State { Idle, Connecting, Connected, Failed };

  void FinishConnect(int error);
  void Fail(win::SOCKET socket, int error);
  void SendPending();
  void BlockingSend();
  void WatchReadable();
  void Readable();
  // Posts `work` as a message that is dropped when this component is gone by then.
  void Later(std::function<void()> work);
  // A one-shot watch of our socket whose callback is dropped when this component is gone.
  void Watch(short events, std::function<void(short revents)> ready);

  win::SOCKET socket_ = win::INVALID_SOCKET;
  State state_ = State::Idle;
  std::string unsent_;          // bytes SetText still has to send, in order
  bool write_watched_ = false;  // a watch waits to send `unsent_`
  bool read_watched_ = false;   // a watch waits for bytes or the peer's end
  bool peer_closed_ = false;
  std::vector<int> watches_;  // ids of our watches still registered
};

}  // namespace ui
