#pragma once

// The name-server client over TCP. Registration keeps one connection open for as long as it
// lives; lookups and listings each use a short connection of their own. Every call waits for its
// answer with a time-out (connect 3 s, answer 5 s by default). By default it does not run the
// event loop meanwhile, so no message or tick reaches the agent in the middle of "Register" (the
// scripted console relies on this: its next command must not start during the wait). A window
// sets set_wait_in_event_loop(true): the wait then turns the event loop, so the window repaints
// and the clock and other stations' messages go on while a slow name server answers; with
// set_user_input_during_wait(true) the user's clicks are handled too (the window keeps its own
// name-server controls off meanwhile) and cancel_wait() ends the wait at once.
//
// A name server embedded in the same process (CNameServer) cannot answer while its own thread
// waits, so the client talks to such a server's registry directly; the registration still ends
// when the client closes it or is destroyed.
//
// When the registration connection breaks (the name server stopped or restarted) the client
// registers again in the background, without waiting in the event loop: a connection attempt,
// then the register request, retried after 250 ms, 500 ms, ... up to every 5 s until the server
// takes it or the agent registers or unregisters on its own.

#include "external/agentkit/ansclient.h"
#include "external/agentkit/nameregistry.h"
#include "external/kqml/framer.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace halyx {

class CNameServer;

class CTcpAnsClient : public CANSClient {
public:
    CTcpAnsClient(CBeliefDB& beliefs, std::function<int()> listeningPort);
    ~CTcpAnsClient() override;

    // The first and the longest wait between two background registration attempts.
    static constexpr int kRetryFirstMs = 250;
    static constexpr int kRetryCapMs = 5000;

    void set_timeouts(int connectMs, int replyMs);
    void set_wait_in_event_loop(bool on) { m_waitInEventLoop = on; }
    // A window lets the user act during such a wait (it keeps its own controls from starting
    // another name-server call meanwhile), so that a click is never lost and Cancel works.
    void set_user_input_during_wait(bool on) { m_userInputDuringWait = on; }
    // Ends the wait under way, and every later one, at once with the error "cancelled", until
    // clear_cancel: one cancelled Register or Refresh List does not go on to its next request.
    void cancel_wait();
    void clear_cancel() { m_cancelled = false; }
    bool cancelled() const { return m_cancelled; }

protected:
    bool open_registration(const std::string& host, int port, std::string& error) override;
    void close_registration() override;
    std::optional<std::string> request(const std::string& host, int port, const std::string& text,
                                       bool onRegistration, std::string& error) override;
    std::string registration_local_host() const override;
    int listening_port() const override { return m_listeningPort ? m_listeningPort() : 0; }
    bool start_reregistration() override;

private:
    struct InProcess {
        CNameServer* server = nullptr;
        quint16 port = 0;
        QHostAddress address;
        CNameRegistry::ConnectionId connection = 0;
    };

    CNameServer* FindInProcess(const std::string& host, int port, QHostAddress* address) const;
    bool InProcessAlive() const;
    std::unique_ptr<QTcpSocket> Connect(const std::string& host, int port,
                                        std::string& error) const;
    std::optional<std::string> Exchange(QTcpSocket& socket, const std::string& text,
                                        std::string& error) const;
    // Waits until the socket is connected (or has bytes to read) or ms pass; false on time-out
    // or error.
    bool WaitForConnected(QTcpSocket& socket, int ms) const;
    bool WaitForReadyRead(QTcpSocket& socket, int ms) const;
    template <class Signal> bool WaitInEventLoop(QTcpSocket& socket, Signal signal, int ms) const;
    void HookRegistration();
    void StopRetrying();
    void ScheduleAttempt();
    void StartAttempt();
    void AttemptConnected();
    void AttemptReadable();
    void AttemptFailed(const std::string& why);

    std::function<int()> m_listeningPort;
    int m_connectMs = 3000;
    int m_replyMs = 5000;
    bool m_waitInEventLoop = false;
    bool m_userInputDuringWait = false;
    bool m_cancelled = false;
    mutable QEventLoop* m_wait = nullptr; // the wait under way, if any
    std::unique_ptr<QTcpSocket> m_registration;
    std::optional<InProcess> m_inProcess;

    // The background registration after a loss.
    int m_retryDelayMs = kRetryFirstMs;
    QTimer m_retryTimer;
    QTimer m_attemptTimer;
    std::unique_ptr<QTcpSocket> m_attempt;
    CKqmlFramer m_attemptFramer;
    std::string m_lastAttemptError;
};

} // namespace halyx
