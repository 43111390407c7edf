#pragma once
// The shell's socket connection to the application server. It names a server
// object (ServerName) in the handshake, and hands out that object (AppServer)
// for late-bound calls by name.
//
// Opening: SetConnected(true) first runs the before-connect handler with the
// connection as Sender (it is where Host and Port are set), then connects and
// shakes hands. With ThrowException true a failed open raises; with it false
// the failure is only kept in LastError and the connection stays closed.
//
// Calling (Invoke): a closed connection is opened first, before-connect
// handler included, and a failure to open always raises. A connection whose
// server closed it while idle (server stopped, restarted or timed it out) is
// opened again before the call, since nothing was sent on it. A connection
// that fails while a call is in flight raises ECallInDoubt (an ESocketError:
// the server may or may not have run the call) and is closed, and
// the call is not sent again: the next call opens it anew. An error raised by
// the server raises ERemoteError with the server's message, and the
// connection stays open.
//
// Several servers: Host may name a comma-separated list of servers
// (ServerAddress; Port is the port of an entry that names none). Opening
// tries them in turn from the one last used and keeps the first that
// answers; a refused handshake is not tried elsewhere. When a call in flight
// loses its server, that call raises as above and the next open starts with
// the next server of the list, so the operator sees the one failure.
#include "host/TServerObject.h"
#include "platform/model/Events.h"
#include "platform/model/TComponent.h"
#include "platform/net/RemoteClient.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class TNetConnection : public TComponent {
public:
    DECLARE_CLASS_NAME(TNetConnection)
    explicit TNetConnection(TComponent* AOwner);
    ~TNetConnection() override;

    const std::string& ServerName() const { return serverName_; }
    void SetServerName(const std::string& value) { serverName_ = value; }
    bool ThrowException() const { return throwException_; }
    void SetThrowException(bool value) { throwException_ = value; }
    const std::string& Host() const { return host_; }
    void SetHost(const std::string& value) { host_ = value; }
    int Port() const { return port_; }
    void SetPort(int value) { port_ = value; }
    // Shared secret presented in the handshake; empty when the server asks none.
    const std::string& Secret() const { return secret_; }
    void SetSecret(const std::string& value) { secret_ = value; }
    int ConnectTimeoutMs() const;
    void SetConnectTimeoutMs(int value);
    int CallTimeoutMs() const;
    void SetCallTimeoutMs(int value);

    const TNotifyEvent& OnBeforeConnect() const { return onBeforeConnect_; }
    void SetOnBeforeConnect(TNotifyEvent value) { onBeforeConnect_ = std::move(value); }

    // Live updates: the connection asks the server, in its handshake, what
    // other sessions store of the branch and client its last read named.
    // OnUpdate runs, Sender the connection, when DeliverUpdates finds some;
    // the handler takes them with TakeUpdates.
    bool LiveUpdates() const { return client_.LiveUpdates(); }
    void SetLiveUpdates(bool value) { client_.SetLiveUpdates(value); }
    const TNotifyEvent& OnUpdate() const { return onUpdate_; }
    void SetOnUpdate(TNotifyEvent value) { onUpdate_ = std::move(value); }
    // A handler that cannot apply them now leaves them: they are offered
    // again with each delivery until taken.
    std::vector<Protocol::Update> TakeUpdates()
    {
        ++takes_;
        return std::exchange(updates_, {});
    }
    // Gives an update back, to be offered again with the next delivery.
    void KeepUpdate(Protocol::Update update) { updates_.push_back(std::move(update)); }
    // Whether an update waiting to be taken asks to read everything again.
    bool HoldsReload() const;
    // Reads what every open connection with live updates has been sent and
    // runs their OnUpdate where some came. The shell calls it while its
    // operator is idle (between script commands, from its event loop); a
    // connection that fails meanwhile is closed, to be opened again by its
    // next call.
    static void DeliverUpdates();
    // How many times DeliverUpdates has run an OnUpdate that took its
    // updates, in all.
    static int Delivered();

    bool Connected() const { return client_.IsOpen(); }
    void SetConnected(bool value);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }

    // The message of the last open that failed without raising; empty after a
    // successful open.
    const std::string& LastError() const { return lastError_; }

    // The server object; every call through it goes to Invoke.
    TServerObject& AppServer() { return appServer_; }

    Variant Invoke(const std::string& method, std::vector<RemoteArg>& args);

private:
    // Runs the before-connect handler, then connects to the first server of
    // the list that answers; raises the first server's failure when none does.
    void DoOpen();
    // Connects to openHost_:openPort_; raises on failure.
    void OpenOne();
    std::string Where() const;

    std::string serverName_;
    bool throwException_ = true;
    std::string host_ = "127.0.0.1";
    int port_ = 7211;
    std::string secret_;
    TNotifyEvent onBeforeConnect_;
    std::string lastError_;
    // Host and port the open connection was made to; the properties may change
    // meanwhile.
    std::string openHost_;
    int openPort_ = 0;
    // The list (Host and Port) the servers below were taken from, how many
    // it names, and which of them to try first.
    std::string serverList_;
    size_t serverCount_ = 1;
    size_t current_ = 0;
    RemoteClient client_;
    TServerObject appServer_{*this};
    TNotifyEvent onUpdate_;
    std::vector<Protocol::Update> updates_;
    int takes_ = 0;
    // Takes what client_ holds into updates_, after a call too.
    void GatherUpdates();
};
