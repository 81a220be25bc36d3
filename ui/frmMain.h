#pragma once

#include "CallListModel.h"
#include "ManagerClient.h"
#include "SocketAdapter.h"
#include "WindowOps.h"

#include <QWidget>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

class LiveCallList;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;

// The program's only window: the four connection fields and Connect (login mode), then the list
// of calls with Disconnect Call and Refresh List (call list mode). It owns the socket and the
// manager client and is the client's window.
class frmMain : public QWidget, private corvale::WindowOps
{
    Q_OBJECT

public:
    static constexpr std::string_view ConnectionErrorMessage =
        "I encounted an error - is the host there and the port open?";
    static constexpr std::chrono::milliseconds DefaultAnswerTimeout{10000};
    // The most the socket holds unread while a message box is open, and in live mode always: a
    // box opened from the read handler stops the reading until it closes, live mode reads only
    // every so often, and the PBX may send any amount meanwhile.
    static constexpr qint64 ReadLimit = 1 << 20;

    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Seams. showMessageBox must not return before the operator has dismissed the message;
    // exitApplication ends the event loop with the given status.
    std::function<void(const QString&)> showMessageBox;
    std::function<void(int)> exitApplication;
    void setAnswerTimeout(std::chrono::milliseconds timeout) { answerTimeout = timeout; }

    // Pre-fills login fields from the command line; a field not given keeps its default.
    void prefillLogin(const std::optional<QString>& host, const std::optional<QString>& port,
                      const std::optional<QString>& user);
    // Before Connect. TLS: the PBX's certificate must be issued by one of `trusted` (by an
    // authority the system trusts when that is empty) and name the Host field's host.
    void useTls(const QList<QSslCertificate>& trusted);
    // The challenge login: the secret never leaves the window, only a key made from it.
    void useChallengeLogin();

    // What the operator is told when TLS could not be set up; `ownAuthorities`: the trusted
    // certificates came from --tls-ca, not from the system.
    static QString tlsFailureMessage(corvale::SocketAdapter::TlsProblem problem,
                                     const QString& host, bool ownAuthorities);

    // Live mode, chosen before Connect: the list follows the PBX's call events.
    void setLive(bool on);
    const LiveCallList* liveList() const { return live.get(); }
    void setListingInterval(std::chrono::milliseconds interval);

    // The commands.
    void cmdConnectClicked();
    void cmdKillCallClicked();
    void cmdReFetchClicked();

    bool loginMode() const;
    bool ending() const { return bEnding; }
    const corvale::SocketAdapter& socket() const { return tcpConn; }
    const corvale::ManagerClient& manager() const { return client; }
    const CallListModel& calls() const { return callList; }

    // Twips to pixels under this window's screen's logical resolution.
    int twipsToPixels(int twips) const;

signals:
    // The program has begun to end; commands waiting inside an event loop stop waiting.
    void endingStarted();
    void hangupAnswered(quint64 ticket);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // corvale::WindowOps
    std::string userName() const override;
    std::string password() const override;
    std::string challengeKey(std::string_view challenge) const override;
    std::size_t callCount() const override;
    void addCall(std::string_view entry, const corvale::EntryParts& parts) override;
    void showMessage(std::string_view text) override;
    void endProgram() override;
    void send(std::string_view bytes) override;
    void actionAnswered(const corvale::Answer& answer) override;

    void createControls();
    void placeControls();
    void setClientSize(int widthTwips, int heightTwips);
    void enterCallListMode();
    void tcpConnDataArrival();
    void tcpConnError();
    void tcpConnTlsFailed(corvale::SocketAdapter::TlsProblem problem);
    void connectionFailed(const QString& text);
    void message(const QString& text);
    void limitReading();
    void finish(int status);
    bool selectedChannel(std::string& channel) const;
    void disconnectCall(std::string channel);
    void listingAnswered(const corvale::Answer& answer);

    QLabel* lblHost = nullptr;
    QLineEdit* txtHost = nullptr;
    QLabel* lblPort = nullptr;
    QLineEdit* txtPort = nullptr;
    QLabel* lblUser = nullptr;
    QLineEdit* txtUsername = nullptr;
    QLabel* lblPassword = nullptr;
    QLineEdit* txtPassword = nullptr;
    QPushButton* cmdConnect = nullptr;
    QListView* lstCalls = nullptr;
    QPushButton* cmdKillCall = nullptr;
    QPushButton* cmdReFetch = nullptr;

    CallListModel callList;
    corvale::SocketAdapter tcpConn;
    corvale::ManagerClient client;
    std::unique_ptr<LiveCallList> live; // live mode only

    bool bEnding = false;
    bool bErrorPending = false;   // an error arrived while a message box was open
    QString sPendingError;        // what it will say
    bool bOwnAuthorities = false; // TLS trusts the certificates it was given, not the system's
    int nOpenMessages = 0;
    std::chrono::milliseconds answerTimeout = DefaultAnswerTimeout;
    bool bRefusalShown = false;                 // the PBX's refusal of the list is on record
    bool bDisconnecting = false;                // Disconnect Call is waiting for the PBX
    std::string sDisconnecting;                  // the channel it waits for
    std::deque<std::string> queuedDisconnects;   // pressed meanwhile, each waits its turn
    std::set<std::uint64_t> awaitedHangups;
    std::map<std::uint64_t, corvale::Answer> hangupAnswers;
};
