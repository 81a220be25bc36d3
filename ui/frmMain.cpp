#include "frmMain.h"

#include "ConnectionTexts.h"
#include "LiveCallList.h"
#include "LoginInput.h"
#include "PasswordMaskStyle.h"
#include "WindowIcon.h"
#include "Wire.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace {

constexpr int TwipsPerInch = 1440;

// Client sizes; the outer window is 120 twips wider (frame) in every width the window reads.
constexpr int LoginWidth = 3825;
constexpr int LoginHeight = 1470;
constexpr int CallListWidth = 6645;
constexpr int CallListHeight = 6435;
constexpr int FrameWidth = 120;
constexpr int ListRightMargin = 40;

struct Twips
{
    int left;
    int top;
    int width;
    int height;
};

QString withoutColon(const QString& label)
{
    return label.endsWith(u':') ? label.chopped(1) : label;
}

} // namespace

frmMain::frmMain(QWidget* parent)
    : QWidget(parent)
    , callList(this)
    , link(this)
{
    showMessageBox = [this](const QString& text) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Corvale"), text, QMessageBox::Ok,
                        this);
        box.exec();
    };
    exitApplication = [](int status) { QCoreApplication::exit(status); };
    logLine = [](const QString& line) {
        std::fputs(qPrintable(line + u'\n'), stderr);
        std::fflush(stderr);
    };

    setWindowTitle(QString::fromLatin1(Title.data(), static_cast<qsizetype>(Title.size())));
    setWindowIcon(WindowIcon::icon());
    createControls();
    placeControls();

    // The PBX reads its manager users and secrets as UTF-8: so they go out.
    link.userName = [this] { return txtUsername->text().toUtf8().toStdString(); };
    link.password = [this] { return txtPassword->text().toUtf8().toStdString(); };
    connect(&link, &corvale::Session::reported, this, [this](const corvale::SessionReport& report) {
        message(corvale::ConnectionTexts::message(report));
    });
    connect(&link, &corvale::Session::stateChanged, this, &frmMain::sessionStateChanged);
    connect(&link, &corvale::Session::finished, this, [this] { finish(1); });
    connect(&link, &corvale::Session::reconnectProgress, this, &frmMain::showProgress);
    connect(&link, &corvale::Session::problemOccurred, this,
            [this](const corvale::ConnectionProblem& problem) {
                logLine(QStringLiteral("corvale: %1:%2: %3")
                            .arg(settings.host)
                            .arg(settings.port)
                            .arg(corvale::ConnectionTexts::cause(problem)));
            });
    // Live mode: the list stops following at once, though the box on screen keeps the error back.
    connect(&link, &corvale::Session::linkLost, this, [this] {
        lstCalls->setEnabled(false);
        if (live)
            live->stop();
    });
    connect(&link, &corvale::Session::entriesCleared, this, [this] { callList.clear(); });
    connect(&link, &corvale::Session::entryListed, this,
            [this](std::string_view entry, const corvale::EntryParts& parts) {
                callList.addPending(entry, parts);
            });
    connect(&link, &corvale::Session::callsChanged, this, [this] {
        if (live)
            live->flush();
        else
            callList.flush();
    });

    // Load: the window opens in login mode.
    setClientSize(LoginWidth, LoginHeight);
    txtHost->setFocus();
}

frmMain::~frmMain()
{
    // The session outlives the live list while members are destroyed; it must report nothing
    // to a half-destroyed window.
    bEnding = true;
    disconnect(&link, nullptr, this, nullptr);
    link.close();
    lstCalls->setModel(nullptr);
}

void frmMain::prefillLogin(const std::optional<QString>& host, const std::optional<QString>& port,
                           const std::optional<QString>& user)
{
    if (host)
        txtHost->setText(*host);
    if (port)
        txtPort->setText(*port);
    if (user)
        txtUsername->setText(*user);
}

void frmMain::useTls(const QList<QSslCertificate>& trusted)
{
    settings.tls = true;
    settings.trusted = trusted;
    settings.ownAuthorities = !trusted.isEmpty();
    link.setSettings(settings);
}

void frmMain::useChallengeLogin()
{
    settings.auth = corvale::Auth::Md5;
    link.setSettings(settings);
}

void frmMain::setLive(bool on)
{
    if (!on || live || !loginMode())
        return;
    settings.live = true;
    link.setSettings(settings);
    live = std::make_unique<LiveCallList>(*lstCalls, *link.liveCalls());
    connect(this, &frmMain::endingStarted, live.get(), &LiveCallList::stop);
}

void frmMain::setReconnect(bool on)
{
    if (!loginMode())
        return;
    settings.reconnect = on;
    link.setSettings(settings);
}

void frmMain::createControls()
{
    auto label = [this](QLabel*& member, const char* name, const QString& text) {
        member = new QLabel(text, this);
        member->setObjectName(QLatin1String(name));
        member->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        member->setFrameShape(QFrame::NoFrame);
        member->setAccessibleName(withoutColon(text));
    };
    auto field = [this](QLineEdit*& member, const char* name, const QString& text,
                        QLabel* caption) {
        member = new QLineEdit(text, this);
        member->setObjectName(QLatin1String(name));
        member->setAccessibleName(withoutColon(caption->text()));
        caption->setBuddy(member);
    };
    auto button = [this](QPushButton*& member, const char* name, const QString& text) {
        member = new QPushButton(text, this);
        member->setObjectName(QLatin1String(name));
        member->setAccessibleName(text);
        // Enter is the window's key; a focused button must not add a second click.
        member->setAutoDefault(false);
        member->setDefault(false);
    };

    label(lblHost, "lblHost", QStringLiteral("Host:"));
    field(txtHost, "txtHost", QStringLiteral("localhost"), lblHost);
    label(lblPort, "lblPort", QStringLiteral("Port:"));
    field(txtPort, "txtPort", QStringLiteral("5038"), lblPort);
    label(lblUser, "lblUser", QStringLiteral("User:"));
    field(txtUsername, "txtUsername", QStringLiteral("admin"), lblUser);
    label(lblPassword, "lblPassword", QStringLiteral("Password:"));
    field(txtPassword, "txtPassword", QString(), lblPassword);
    button(cmdConnect, "cmdConnect", QStringLiteral("Connect"));

    protectSecretField(*txtPassword);

    lstCalls = new QListView(this);
    lstCalls->setObjectName(QStringLiteral("lstCalls"));
    lstCalls->setAccessibleName(QStringLiteral("Calls"));
    lstCalls->setModel(&callList);
    lstCalls->setUniformItemSizes(true);
    lstCalls->setSelectionMode(QAbstractItemView::SingleSelection);
    lstCalls->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstCalls->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lstCalls->setTextElideMode(Qt::ElideNone); // a long entry is cut at the edge
    lstCalls->setWordWrap(false);
    lstCalls->hide();

    button(cmdKillCall, "cmdKillCall", QStringLiteral("Disconnect Call"));
    button(cmdReFetch, "cmdReFetch", QStringLiteral("Refresh List"));

    // Connect comes before the user name and secret; the buttons below the login area stay
    // reachable by keyboard.
    setTabOrder(txtHost, txtPort);
    setTabOrder(txtPort, cmdConnect);
    setTabOrder(cmdConnect, txtUsername);
    setTabOrder(txtUsername, txtPassword);
    setTabOrder(txtPassword, lstCalls);
    setTabOrder(lstCalls, cmdKillCall);
    setTabOrder(cmdKillCall, cmdReFetch);

    for (QWidget* control : {static_cast<QWidget*>(txtHost), static_cast<QWidget*>(txtPort),
                             static_cast<QWidget*>(txtUsername), static_cast<QWidget*>(txtPassword),
                             static_cast<QWidget*>(cmdConnect), static_cast<QWidget*>(lstCalls),
                             static_cast<QWidget*>(cmdKillCall), static_cast<QWidget*>(cmdReFetch)})
        control->installEventFilter(this);

    connect(cmdConnect, &QPushButton::clicked, this, &frmMain::cmdConnectClicked);
    connect(cmdKillCall, &QPushButton::clicked, this, &frmMain::cmdKillCallClicked);
    connect(cmdReFetch, &QPushButton::clicked, this, &frmMain::cmdReFetchClicked);
}

void frmMain::placeControls()
{
    const std::pair<QWidget*, Twips> layout[] = {
        {lblHost, {60, 30, 1665, 225}},        {txtHost, {1770, 0, 1995, 285}},
        {lblPort, {30, 300, 1725, 315}},       {txtPort, {1770, 300, 1995, 285}},
        {lblUser, {0, 600, 1785, 285}},        {txtUsername, {1770, 600, 1995, 285}},
        {lblPassword, {0, 930, 1755, 285}},    {txtPassword, {1770, 900, 1995, 285}},
        {cmdConnect, {1830, 1200, 1875, 225}}, {lstCalls, {30, 30, 6585, 6105}},
        {cmdKillCall, {60, 6180, 3525, 255}},  {cmdReFetch, {3600, 6180, 3015, 255}},
    };
    for (const auto& [control, at] : layout)
        control->setGeometry(twipsToPixels(at.left), twipsToPixels(at.top), twipsToPixels(at.width),
                             twipsToPixels(at.height));
}

int frmMain::twipsToPixels(int twips) const
{
    return static_cast<int>(std::lround(static_cast<double>(twips) * logicalDpiX() / TwipsPerInch));
}

void frmMain::setClientSize(int widthTwips, int heightTwips)
{
    resize(twipsToPixels(widthTwips), twipsToPixels(heightTwips));
}

bool frmMain::loginMode() const
{
    return !txtUsername->isHidden();
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The list runs to the outer width less 40 twips, so its right border lies past the
    // client area; a window too narrow for that leaves it empty rather than negative.
    const double extra =
        static_cast<double>(FrameWidth - ListRightMargin) * logicalDpiX() / TwipsPerInch;
    const int listWidth = static_cast<int>(std::lround(width() + extra));
    lstCalls->resize(std::max(0, listWidth), lstCalls->height());
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    // Key preview: Enter in login mode connects, and the key still goes on to the control.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->text() == QLatin1String("\r") || key->key() == Qt::Key_Return ||
                           key->key() == Qt::Key_Enter;
        if (enter && loginMode()) {
            cmdConnectClicked();
        } else if (enter && (watched == cmdKillCall || watched == cmdReFetch)) {
            // In call list mode Enter presses the focused button, as Space does. The buttons
            // take no Enter of their own, so that Connect never gets a second click from it.
            static_cast<QPushButton*>(watched)->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // The operator ends the run: a command waiting for the PBX stops waiting.
    if (!bEnding) {
        bEnding = true;
        emit endingStarted();
        link.close();
    }
    QWidget::closeEvent(event);
}

void frmMain::cmdConnectClicked()
{
    if (!loginMode() || bEnding)
        return;
    // Blanks at either end cannot be part of a host name; Qt tidies an address but would look a
    // name up with them.
    const QString host = txtHost->text().trimmed();
    if (host.isEmpty()) {
        message(QStringLiteral("The host must not be empty."));
        return;
    }
    const std::optional<int> port = readPort(txtPort->text());
    if (!port) {
        message(QStringLiteral("The port must be a whole number from 1 to 65535."));
        return;
    }
    if (!isSendableLogin(txtUsername->text()) || !isSendableLogin(txtPassword->text())) {
        message(QStringLiteral("The user name and password may hold no line break or NUL."));
        return;
    }
    settings.host = host;
    settings.port = *port;
    link.setSettings(settings);
    link.open();
    enterCallListMode();
}

void frmMain::enterCallListMode()
{
    for (QWidget* control : {static_cast<QWidget*>(txtHost), static_cast<QWidget*>(lblHost),
                             static_cast<QWidget*>(txtPort), static_cast<QWidget*>(lblPort),
                             static_cast<QWidget*>(txtUsername), static_cast<QWidget*>(lblUser),
                             static_cast<QWidget*>(txtPassword), static_cast<QWidget*>(lblPassword),
                             static_cast<QWidget*>(cmdConnect)})
        control->hide();
    setClientSize(CallListWidth, CallListHeight);
    lstCalls->show();
    lstCalls->setFocus();
    if (live)
        live->start();
}

void frmMain::sessionStateChanged(corvale::Session::State state)
{
    using State = corvale::Session::State;
    if (state == State::Ended && !bEnding) {
        bEnding = true;
        emit endingStarted();
    }
    // While the link is down the list stays as it was, greyed out: nothing in it can be acted on.
    lstCalls->setEnabled(state != State::Reconnecting);
    showProgress();
}

void frmMain::showProgress()
{
    if (link.state() != corvale::Session::State::Reconnecting) {
        setWindowTitle(QString::fromLatin1(Title.data(), static_cast<qsizetype>(Title.size())));
        return;
    }
    const auto next = (link.nextTryIn().count() + 999) / 1000;
    setWindowTitle(QStringLiteral("Reconnecting to %1:%2 (attempt %3, next in %4 s)")
                       .arg(settings.host)
                       .arg(settings.port)
                       .arg(link.attempt())
                       .arg(next));
}

void frmMain::message(const QString& text)
{
    // While the box is open the session reads at most so much, and keeps an error for later.
    link.setHoldReading(true);
    showMessageBox(text);
    link.setHoldReading(false);
}

void frmMain::finish(int status)
{
    if (!bEnding) {
        bEnding = true;
        emit endingStarted();
    }
    link.close();
    hide();
    exitApplication(status);
}

bool frmMain::selectedChannel(std::string& channel) const
{
    if (live) {
        const std::optional<std::string> selected = live->selectedChannel();
        if (selected)
            channel = *selected;
        return selected.has_value();
    }
    const QModelIndexList selected = lstCalls->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return false;
    const int row = selected.front().row();
    if (callList.bytesAt(row) == corvale::NoCallsEntry)
        return false;
    channel = callList.channelAt(row);
    return true;
}

void frmMain::cmdKillCallClicked()
{
    if (bEnding)
        return;
    std::string channel;
    // While reconnecting the session says why nothing happens, selection or not.
    if (!selectedChannel(channel) && link.state() != corvale::Session::State::Reconnecting)
        return;
    link.hangUp(channel);
}

void frmMain::cmdReFetchClicked()
{
    if (bEnding)
        return;
    link.refresh();
}
