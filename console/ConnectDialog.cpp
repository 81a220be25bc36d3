#include "ConnectDialog.h"

#include "PbxProfile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr qint64 MaxCaFileBytes = 1024 * 1024;

// A control character would reach the wire unseen.
bool hasControlCharacter(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

bool isPort(const QString& text)
{
    if (text.isEmpty() || text.size() > 5)
        return false;
    if (!std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return false;
    const int port = text.toInt();
    return port >= 1 && port <= 65535;
}

} // namespace

ConnectDialog::ConnectDialog(QWidget* parent)
    : QDialog(parent)
    , hostEdit(new QLineEdit(this))
    , portEdit(new QLineEdit(this))
    , userEdit(new QLineEdit(this))
    , secretEdit(new QLineEdit(this))
    , tlsCheck(new QCheckBox(tr("Use &TLS"), this))
    , caFileEdit(new QLineEdit(this))
    , caFileButton(new QPushButton(tr("&Browse..."), this))
    , authCombo(new QComboBox(this))
    , errorLabel(new QLabel(this))
    , connectButton(nullptr)
    , form(new QFormLayout)
{
    setWindowTitle(tr("Connect to a PBX"));
    setObjectName(QStringLiteral("ConnectDialog"));
    hostEdit->setObjectName(QStringLiteral("hostEdit"));
    portEdit->setObjectName(QStringLiteral("portEdit"));
    userEdit->setObjectName(QStringLiteral("userEdit"));
    secretEdit->setObjectName(QStringLiteral("secretEdit"));
    tlsCheck->setObjectName(QStringLiteral("tlsCheck"));
    caFileEdit->setObjectName(QStringLiteral("caFileEdit"));
    caFileButton->setObjectName(QStringLiteral("caFileButton"));
    authCombo->setObjectName(QStringLiteral("authCombo"));
    errorLabel->setObjectName(QStringLiteral("errorLabel"));

    secretEdit->setEchoMode(QLineEdit::Password);
    portEdit->setMaxLength(5);
    caFileEdit->setPlaceholderText(tr("The system's authorities"));
    authCombo->addItem(tr("Plain: the secret is sent"));
    authCombo->addItem(tr("Challenge (md5): the secret stays here"));
    errorLabel->setWordWrap(true);
    errorLabel->setVisible(false);

    hostEdit->setAccessibleName(tr("Host"));
    portEdit->setAccessibleName(tr("Port"));
    userEdit->setAccessibleName(tr("User"));
    secretEdit->setAccessibleName(tr("Secret"));
    tlsCheck->setAccessibleName(tr("Use TLS"));
    caFileEdit->setAccessibleName(tr("File of trusted certificates"));
    caFileButton->setAccessibleName(tr("Choose the file of trusted certificates"));
    authCombo->setAccessibleName(tr("Login method"));
    errorLabel->setAccessibleName(tr("What is wrong"));

    form->addRow(tr("&Host:"), hostEdit);
    form->addRow(tr("&Port:"), portEdit);
    form->addRow(tr("&User:"), userEdit);
    form->addRow(tr("&Secret:"), secretEdit);
    form->addRow(QString(), tlsCheck);
    auto* caRow = new QHBoxLayout;
    caRow->addWidget(caFileEdit, 1);
    caRow->addWidget(caFileButton);
    auto* caLabel = new QLabel(tr("C&A file:"), this);
    caLabel->setBuddy(caFileEdit);
    form->addRow(caLabel, caRow);
    form->addRow(tr("&Login:"), authCombo);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connectButton = buttons->addButton(tr("&Connect"), QDialogButtonBox::AcceptRole);
    connectButton->setObjectName(QStringLiteral("connectButton"));
    connectButton->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &ConnectDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ConnectDialog::reject);
    connect(tlsCheck, &QCheckBox::toggled, this, &ConnectDialog::tlsToggled);
    connect(caFileButton, &QPushButton::clicked, this, &ConnectDialog::browseCaFile);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(errorLabel);
    layout->addWidget(buttons);

    setFields(ConnectionFields());
}

void ConnectDialog::setFields(const ConnectionFields& fields)
{
    hostEdit->setText(fields.host);
    portEdit->setText(fields.port);
    userEdit->setText(fields.user);
    tlsCheck->setChecked(fields.tls);
    caFileEdit->setText(fields.caFile);
    givenTrusted = fields.caFile.isEmpty() ? fields.trusted : QList<QSslCertificate>();
    if (!givenTrusted.isEmpty())
        caFileEdit->setPlaceholderText(tr("The certificates given on the command line"));
    authCombo->setCurrentIndex(fields.challengeLogin ? 1 : 0);
    tlsToggled(fields.tls);
    accepted = fields;
    // With where and who filled in, the secret is all that is left to type.
    if (fields.host.isEmpty() || fields.user.isEmpty())
        hostEdit->setFocus();
    else
        secretEdit->setFocus();
}

void ConnectDialog::tlsToggled(bool on)
{
    caFileEdit->setEnabled(on);
    caFileButton->setEnabled(on);
    // The usual ports follow TLS unless the operator chose another.
    if (on && portEdit->text() == QStringLiteral("5038"))
        portEdit->setText(QStringLiteral("5039"));
    else if (!on && portEdit->text() == QStringLiteral("5039"))
        portEdit->setText(QStringLiteral("5038"));
}

void ConnectDialog::browseCaFile()
{
    const QString path =
        QFileDialog::getOpenFileName(this, tr("File of trusted certificates"), caFileEdit->text(),
                                     tr("PEM certificates (*.pem *.crt);;All files (*)"));
    if (!path.isEmpty())
        caFileEdit->setText(path);
}

std::string ConnectDialog::secret() const
{
    return secretEdit->text().toStdString();
}

void ConnectDialog::clearSecret()
{
    secretEdit->clear();
}

QString ConnectDialog::checkCaFile(const QString& path, QList<QSslCertificate>& out)
{
    const QFileInfo info(path);
    if (!info.exists())
        return tr("There is no file %1.").arg(path);
    if (info.isDir())
        return tr("%1 is a folder, not a file.").arg(path);
    if (!info.isFile())
        return tr("%1 is not a regular file.").arg(path);
    if (info.size() > MaxCaFileBytes)
        return tr("%1 is larger than 1 MiB, too large for certificates.").arg(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return tr("%1 cannot be read.").arg(path);
    out = QSslCertificate::fromData(file.read(MaxCaFileBytes), QSsl::Pem);
    if (out.isEmpty())
        return tr("%1 holds no PEM certificate.").arg(path);
    return {};
}

void ConnectDialog::setProfile(const PbxProfile& profile, const QStringList& takenNames)
{
    taken = takenNames;
    if (nameEdit == nullptr) {
        setWindowTitle(tr("Saved PBX"));
        nameEdit = new QLineEdit(this);
        nameEdit->setObjectName(QStringLiteral("nameEdit"));
        nameEdit->setAccessibleName(tr("Name"));
        form->insertRow(0, tr("&Name:"), nameEdit);
        rememberCheck = new QCheckBox(tr("&Remember the secret in the keyring"), this);
        rememberCheck->setObjectName(QStringLiteral("rememberCheck"));
        reconnectCheck = new QCheckBox(tr("R&econnect when the connection is lost"), this);
        reconnectCheck->setObjectName(QStringLiteral("reconnectCheck"));
        startCheck = new QCheckBox(tr("C&onnect at start"), this);
        startCheck->setObjectName(QStringLiteral("startCheck"));
        form->addRow(QString(), rememberCheck);
        form->addRow(QString(), reconnectCheck);
        form->addRow(QString(), startCheck);
        secretEdit->setPlaceholderText(tr("Asked at each connect unless remembered"));
        // Wide enough for the whole hint, in every language.
        secretEdit->setMinimumWidth(
            secretEdit->fontMetrics().horizontalAdvance(secretEdit->placeholderText()) + 24);
        connectButton->setText(tr("Sa&ve"));
        // The rows were added above and below the others: Tab goes down the form as it
        // stands, then to the buttons.
        QWidget* previous = nameEdit;
        for (QWidget* next : std::initializer_list<QWidget*>{
                 hostEdit, portEdit, userEdit, secretEdit, tlsCheck, caFileEdit, caFileButton,
                 authCombo, rememberCheck, reconnectCheck, startCheck}) {
            setTabOrder(previous, next);
            previous = next;
        }
    }
    setFields(profile.fields);
    nameEdit->setText(profile.name);
    rememberCheck->setChecked(profile.rememberSecret);
    reconnectCheck->setChecked(profile.reconnect);
    startCheck->setChecked(profile.connectAtStart);
    nameEdit->setFocus();
}

PbxProfile ConnectDialog::profile() const
{
    PbxProfile profile;
    profile.fields = accepted;
    if (nameEdit != nullptr) {
        profile.name = nameEdit->text();
        profile.rememberSecret = rememberCheck->isChecked();
        profile.reconnect = reconnectCheck->isChecked();
        profile.connectAtStart = startCheck->isChecked();
    }
    return profile;
}

QString ConnectDialog::check(ConnectionFields& out) const
{
    if (nameEdit != nullptr) {
        const QString name = nameEdit->text();
        const QString why = PbxProfile::checkName(name);
        if (!why.isEmpty())
            return why;
        if (taken.contains(name))
            return tr("There is already a PBX named %1.").arg(name);
    }
    out.host = hostEdit->text().trimmed();
    out.port = portEdit->text().trimmed();
    out.user = userEdit->text();
    out.tls = tlsCheck->isChecked();
    out.caFile = out.tls ? caFileEdit->text().trimmed() : QString();
    out.challengeLogin = authCombo->currentIndex() == 1;
    out.trusted.clear();
    if (out.host.isEmpty())
        return tr("The host needs a host name or address.");
    if (hasControlCharacter(out.host))
        return tr("The host holds a control character.");
    if (!isPort(out.port))
        return tr("The port must be a whole number from 1 to 65535.");
    if (hasControlCharacter(out.user))
        return tr("The user name holds a control character.");
    if (!out.tls)
        return {};
    if (!out.caFile.isEmpty())
        return checkCaFile(out.caFile, out.trusted);
    out.trusted = givenTrusted;
    return {};
}

void ConnectDialog::accept()
{
    ConnectionFields checked;
    const QString why = check(checked);
    errorLabel->setText(why);
    errorLabel->setVisible(!why.isEmpty());
    if (!why.isEmpty())
        return;
    accepted = checked;
    QDialog::accept();
}
