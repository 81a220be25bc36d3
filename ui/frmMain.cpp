#include "frmMain.h"

#include "LiveCallList.h"
#include "PasswordMaskStyle.h"
#include "WindowIcon.h"
#include "Wire.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QEventLoop>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cmath>
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

// A user name or password goes out on one header line.
bool isSendableLogin(const QString& text)
{
    return std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return c == u'\r' || c == u'\n' || c == u'\0';
    });
}

std::optional<int> readPort(const QString& text)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    int port = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        port = port * 10 + (c.unicode() - u'0');
    }
    if (port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

QString withoutColon(const QString& label)
{
    return label.endsWith(u':') ? label.chopped(1) : label;
}

} // namespace

frmMain::frmMain(QWidget* parent)
    : QWidget(parent)
    , callList(this)
    , tcpConn(this)
    , client(*this)
{
    showMessageBox = [this](const QString& text) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Corvale"), text, QMessageBox::Ok,
                        this);
        box.exec();
    };
    exitApplication = [](int status) { QCoreApplication::exit(status); };

    setWindowTitle(QStringLiteral("Corvale - https://corvale.example.org"));
    setWindowIcon(WindowIcon::icon());
    createControls();
    placeControls();

    connect(&tcpConn, &corvale::SocketAdapter::dataArrival, this,
            [this](qint64) { tcpConnDataArrival(); });
    connect(&tcpConn, &corvale::SocketAdapter::errorOccurred, this,
            [this](int, const QString&) { tcpConnError(); });
    connect(&tcpConn, &corvale::SocketAdapter::tlsFailed, this, &frmMain::tcpConnTlsFailed);
    // The PBX ending the connection leaves a dead list behind: treat it as an error.
    connect(&tcpConn, &corvale::SocketAdapter::closedByPeer, this, &frmMain::tcpConnError);

    // Load: the window opens in login mode.
    setClientSize(LoginWidth, LoginHeight);
    txtHost->setFocus();
}

frmMain::~frmMain()
{
    // The socket outlives the client while members are destroyed; a socket torn down open
    // would report the close to a half-destroyed window.
    bEnding = true;
    disconnect(&tcpConn, nullptr, this, nullptr);
    tcpConn.close();
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
    tcpConn.useTls(trusted);
    bOwnAuthorities = !trusted.isEmpty();
}

void frmMain::useChallengeLogin()
{
    client.setAuth(corvale::Auth::Md5);
}

QString frmMain::tlsFailureMessage(corvale::SocketAdapter::TlsProblem problem, const QString& host,
                                   bool ownAuthorities)
{
    using Problem = corvale::SocketAdapter::TlsProblem;
    QString what;
    switch (problem) {
    case Problem::Untrusted:
        what = ownAuthorities
                   ? QStringLiteral("The PBX's certificate is not trusted: it is not one of the "
                                    "certificates in the file given with --tls-ca, nor issued by "
                                    "one of them.")
                   : QStringLiteral("The PBX's certificate is not trusted: it was not issued by a "
                                    "certificate authority this computer trusts. If the PBX has a "
                                    "certificate of its own, give it with --tls-ca.");
        break;
    case Problem::Expired:
        what = QStringLiteral("The PBX's certificate has expired, or is not valid yet.");
        break;
    case Problem::WrongHost:
        what =
            QStringLiteral("The PBX's certificate is for another host name, not for %1.").arg(host);
        break;
    case Problem::Handshake:
        what = QStringLiteral("A secure connection to the PBX could not be set up. Does it offer "
                              "TLS on this port?");
        break;
    }
    return what + QStringLiteral(" Nothing was sent.");
}

void frmMain::setLive(bool on)
{
    if (!on || live || !loginMode())
        return;
    live = std::make_unique<LiveCallList>(*lstCalls, client);
    client.followCalls(&live->calls());
    // A busy PBX sends events all the time: the list takes them in at a steady pace, and a full
    // socket at once.
    limitReading();
    disconnect(&tcpConn, &corvale::SocketAdapter::dataArrival, this, nullptr);
    connect(&tcpConn, &corvale::SocketAdapter::dataArrival, live.get(),
            [this](qint64 waiting) { live->dataWaiting(waiting >= ReadLimit); });
    connect(live.get(), &LiveCallList::readDue, this, &frmMain::tcpConnDataArrival);
    connect(this, &frmMain::endingStarted, live.get(), &LiveCallList::stop);
}

void frmMain::setListingInterval(std::chrono::milliseconds interval)
{
    if (live)
        live->setListingInterval(interval);
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

    txtPassword->setEchoMode(QLineEdit::Password);
    auto* mask = new PasswordMaskStyle();
    mask->setParent(this);
    txtPassword->setStyle(mask);
    // After setEchoMode, which would turn the input method back on.
    txtPassword->setAttribute(Qt::WA_InputMethodEnabled, false);
    txtPassword->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData |
                                     Qt::ImhNoPredictiveText);

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
    if (watched == txtPassword && event->type() == QEvent::InputMethodQuery) {
        // The secret takes no input method; a line edit would otherwise say it does.
        auto* query = static_cast<QInputMethodQueryEvent*>(event);
        const auto queries = static_cast<unsigned>(query->queries());
        for (unsigned bit = 1; bit != 0; bit <<= 1) {
            if ((queries & bit) == 0)
                continue;
            const auto one = static_cast<Qt::InputMethodQuery>(bit);
            // A line edit answers the text queries with its clear text, even masked.
            const bool text = one == Qt::ImSurroundingText || one == Qt::ImCurrentSelection ||
                              one == Qt::ImTextBeforeCursor || one == Qt::ImTextAfterCursor;
            query->setValue(one, one == Qt::ImEnabled ? QVariant(false)
                                 : text               ? QVariant(QString())
                                                      : txtPassword->inputMethodQuery(one));
        }
        query->accept();
        return true;
    }
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
        tcpConn.close();
    }
    QWidget::closeEvent(event);
}

void frmMain::cmdConnectClicked()
{
    if (!loginMode() || bEnding)
        return;
    const std::optional<int> port = readPort(txtPort->text());
    if (!port) {
        message(QStringLiteral("The port must be a whole number from 1 to 65535."));
        return;
    }
    if (!isSendableLogin(txtUsername->text()) || !isSendableLogin(txtPassword->text())) {
        message(QStringLiteral("The user name and password may hold no line break or NUL."));
        return;
    }
    // Blanks at either end cannot be part of a host name; Qt tidies an address but would look a
    // name up with them.
    tcpConn.setRemoteHost(txtHost->text().trimmed());
    tcpConn.setRemotePort(*port);
    tcpConn.connectToRemote();
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

void frmMain::tcpConnDataArrival()
{
    // A message opened from here (a refused listing) keeps Qt from announcing the bytes it reads
    // meanwhile, and it will not announce them later: they are read on here once the message
    // has closed. Live mode reads on a timer of its own, which goes on while a message is open.
    do {
        if (bEnding)
            return;
        const std::string bytes = tcpConn.getData();
        if (bytes.empty())
            return;
        client.dataArrival(bytes);
        if (live)
            live->flush();
        else
            callList.flush();
    } while (!live && tcpConn.bytesAvailable() > 0);
}

void frmMain::tcpConnError()
{
    connectionFailed(QString::fromLatin1(ConnectionErrorMessage.data(),
                                         static_cast<qsizetype>(ConnectionErrorMessage.size())));
}

void frmMain::tcpConnTlsFailed(corvale::SocketAdapter::TlsProblem problem)
{
    connectionFailed(tlsFailureMessage(problem, tcpConn.host(), bOwnAuthorities));
}

void frmMain::connectionFailed(const QString& text)
{
    if (bEnding)
        return;
    if (nOpenMessages > 0) {
        // Reported once the message on screen is dismissed, unless the program ends first
        // (a rejected login's message is followed by the end at once).
        if (!bErrorPending)
            sPendingError = text;
        bErrorPending = true;
        return;
    }
    bErrorPending = false;
    // A PBX that rejects a login closes at once; its answer may still wait unread.
    if (tcpConn.bytesAvailable() > 0)
        tcpConnDataArrival();
    if (bEnding)
        return;
    bEnding = true;
    emit endingStarted();
    tcpConn.close();
    message(text);
    finish(1);
}

void frmMain::message(const QString& text)
{
    ++nOpenMessages;
    limitReading();
    showMessageBox(text);
    --nOpenMessages;
    limitReading();
    if (nOpenMessages == 0 && bErrorPending && !bEnding) {
        // Later, so that whoever showed this message finishes its step first.
        QTimer::singleShot(0, this, [this] { connectionFailed(sPendingError); });
    }
}

void frmMain::limitReading()
{
    // Qt would buffer all that arrives while nobody reads; past the limit TCP holds the PBX back
    // instead, and nothing is lost.
    tcpConn.setReadLimit(live || nOpenMessages > 0 ? ReadLimit : 0);
}

void frmMain::finish(int status)
{
    if (!bEnding) {
        bEnding = true;
        emit endingStarted();
    }
    tcpConn.close();
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
    const std::string& entry = callList.bytesAt(selected.front().row());
    if (entry == corvale::NoCallsEntry)
        return false;
    // The channel is the entry's first word, byte for byte as the PBX sent it.
    channel = entry.substr(0, entry.find(' '));
    return true;
}

void frmMain::cmdKillCallClicked()
{
    if (bEnding)
        return;
    std::string channel;
    if (!selectedChannel(channel))
        return;
    if (bDisconnecting) {
        // A hangup's answer names no channel, and answers come in the order asked: were a second
        // request sent while the first waits, an answer that never comes for the first would
        // make each report the other's. So it waits its turn; a second press on the call already
        // being disconnected (a double click) adds nothing.
        if (channel != sDisconnecting &&
            std::find(queuedDisconnects.begin(), queuedDisconnects.end(), channel) ==
                queuedDisconnects.end())
            queuedDisconnects.push_back(std::move(channel));
        return;
    }
    bDisconnecting = true;
    disconnectCall(std::move(channel));
    while (!bEnding && !queuedDisconnects.empty()) {
        std::string next = std::move(queuedDisconnects.front());
        queuedDisconnects.pop_front();
        disconnectCall(std::move(next));
    }
    queuedDisconnects.clear();
    sDisconnecting.clear();
    bDisconnecting = false;
}

void frmMain::disconnectCall(std::string channel)
{
    sDisconnecting = channel;
    const QString shown = CallListModel::displayText(channel);
    if (channel.empty()) {
        message(QStringLiteral("The selected entry names no channel, so nothing was sent."));
        return;
    }
    if (!corvale::isSafeHeaderValue(channel)) {
        message(QStringLiteral("The channel %1 holds a line break or NUL, so no hangup was sent.")
                    .arg(shown));
        return;
    }
    if (channel.front() == '/') {
        // The PBX reads such a channel as a pattern and hangs up every call that matches.
        message(QStringLiteral("The channel %1 begins with \"/\", which the PBX would read as a "
                               "pattern for many calls, so no hangup was sent.")
                    .arg(shown));
        return;
    }
    const std::optional<std::uint64_t> ticket = client.sendHangup(channel);
    if (!ticket)
        return;
    awaitedHangups.insert(*ticket);
    QCoreApplication::processEvents();

    if (!bEnding && hangupAnswers.count(*ticket) == 0) {
        QEventLoop loop;
        QTimer timeout;
        timeout.setSingleShot(true);
        connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(this, &frmMain::endingStarted, &loop, &QEventLoop::quit);
        connect(this, &frmMain::hangupAnswered, &loop, [&loop, ticket](quint64 answered) {
            if (answered == *ticket)
                loop.quit();
        });
        timeout.start(answerTimeout);
        loop.exec();
    }
    awaitedHangups.erase(*ticket);
    const auto answer = hangupAnswers.find(*ticket);
    std::optional<corvale::Answer> result;
    if (answer != hangupAnswers.end()) {
        result = std::move(answer->second);
        hangupAnswers.erase(answer);
    }
    if (bEnding)
        return;

    if (!result) {
        message(QStringLiteral("The PBX did not answer the request to disconnect %1.").arg(shown));
    } else if (result->succeeded()) {
        message(QStringLiteral("Killed Call ") + shown);
    } else {
        const std::string& why = result->message.empty() ? result->response : result->message;
        message(QStringLiteral("The call on %1 could not be disconnected: %2")
                    .arg(shown, CallListModel::displayText(why)));
    }
    if (bEnding)
        return;
    cmdReFetchClicked();
}

void frmMain::cmdReFetchClicked()
{
    if (bEnding)
        return;
    // In live mode the list stays: the listing that comes is reconciled with it, so the
    // selection and the scroll position survive a refresh.
    if (!live)
        callList.clear();
    bRefusalShown = false;
    // Unconnected, nothing could go out; asking the client anyway would leave it expecting an
    // answer that never comes, and pair the next answers with the wrong actions.
    if (tcpConn.state() == QAbstractSocket::UnconnectedState)
        return;
    client.sendStatus();
}

// The PBX reads its manager users and secrets as UTF-8: so they go out.
std::string frmMain::userName() const
{
    return txtUsername->text().toUtf8().toStdString();
}

std::string frmMain::password() const
{
    return txtPassword->text().toUtf8().toStdString();
}

std::string frmMain::challengeKey(std::string_view challenge) const
{
    // The secret as the plain login would send it.
    QCryptographicHash md5(QCryptographicHash::Md5);
    md5.addData(QByteArrayView(challenge.data(), static_cast<qsizetype>(challenge.size())));
    md5.addData(txtPassword->text().toUtf8());
    return md5.result().toHex().toStdString();
}

std::size_t frmMain::callCount() const
{
    return callList.count();
}

void frmMain::addCall(std::string_view entry, const corvale::EntryParts& parts)
{
    callList.addPending(entry, parts);
}

void frmMain::showMessage(std::string_view text)
{
    message(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void frmMain::endProgram()
{
    finish(1);
}

void frmMain::send(std::string_view bytes)
{
    tcpConn.sendData(bytes);
}

void frmMain::actionAnswered(const corvale::Answer& answer)
{
    if (answer.kind == corvale::ActionKind::Status) {
        listingAnswered(answer);
        return;
    }
    if (answer.kind != corvale::ActionKind::Hangup || awaitedHangups.count(answer.ticket) == 0)
        return;
    hangupAnswers[answer.ticket] = answer;
    emit hangupAnswered(answer.ticket);
}

void frmMain::listingAnswered(const corvale::Answer& answer)
{
    // A manager user without the call class gets an error instead of a listing, and the list
    // would stay empty without a word. Live mode asks every few seconds: it says so once, until
    // a listing succeeds or the operator asks again.
    if (answer.succeeded()) {
        bRefusalShown = false;
        return;
    }
    if (bRefusalShown)
        return;
    bRefusalShown = true;
    const std::string& why = answer.message.empty() ? answer.response : answer.message;
    message(QStringLiteral("The PBX refused the call list: ") + CallListModel::displayText(why));
}
