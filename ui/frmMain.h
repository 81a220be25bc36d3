#pragma once

#include "CallListModel.h"
#include "session/Session.h"

#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class LiveCallList;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;

// The program's only window: the four connection fields and Connect (login mode), then the list
// of calls with Disconnect Call and Refresh List (call list mode). It is a view of one Session:
// it gives the session the operator's commands and shows what the session reports in boxes.
class frmMain : public QWidget
{
    Q_OBJECT

public:
    static constexpr qint64 ReadLimit = corvale::Session::ReadLimit;
    static constexpr std::string_view Title = "Corvale - https://corvale.example.org";

    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Seams. showMessageBox must not return before the operator has dismissed the message;
    // exitApplication ends the event loop with the given status; logLine writes one line for an
    // administrator (standard error).
    std::function<void(const QString&)> showMessageBox;
    std::function<void(int)> exitApplication;
    std::function<void(const QString&)> logLine;
    void setAnswerTimeout(std::chrono::milliseconds timeout) { link.setAnswerTimeout(timeout); }

    // Pre-fills login fields from the command line; a field not given keeps its default.
    void prefillLogin(const std::optional<QString>& host, const std::optional<QString>& port,
                      const std::optional<QString>& user);
    // Before Connect. TLS: the PBX's certificate must be issued by one of `trusted` (by an
    // authority the system trusts when that is empty) and name the Host field's host.
    void useTls(const QList<QSslCertificate>& trusted);
    // The challenge login: the secret never leaves the window, only a key made from it.
    void useChallengeLogin();

    // Live mode, chosen before Connect: the list follows the PBX's call events.
    void setLive(bool on);
    const LiveCallList* liveList() const { return live.get(); }
    void setListingInterval(std::chrono::milliseconds interval)
    {
        link.setListingInterval(interval);
    }
    // Before Connect: a connection lost after a successful login is made again, and meanwhile
    // the list stays, greyed out, and the title says so.
    void setReconnect(bool on);

    // The commands.
    void cmdConnectClicked();
    void cmdKillCallClicked();
    void cmdReFetchClicked();

    bool loginMode() const;
    bool ending() const { return bEnding; }
    const corvale::SocketAdapter& socket() const { return link.socket(); }
    const corvale::ManagerClient& manager() const { return link.client(); }
    const CallListModel& calls() const { return callList; }
    corvale::Session& session() { return link; }

    // Twips to pixels under this window's screen's logical resolution.
    int twipsToPixels(int twips) const;

signals:
    // The program has begun to end.
    void endingStarted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void placeControls();
    void setClientSize(int widthTwips, int heightTwips);
    void enterCallListMode();
    void sessionStateChanged(corvale::Session::State state);
    void showProgress();
    void message(const QString& text);
    void finish(int status);
    bool selectedChannel(std::string& channel) const;

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
    corvale::Session link;
    corvale::SessionSettings settings;
    std::unique_ptr<LiveCallList> live; // live mode only

    bool bEnding = false;
};
