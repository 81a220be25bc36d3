#pragma once

#include <QDialog>
#include <QList>
#include <QSslCertificate>
#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Where and how the console connects; everything but the secret may be remembered.
struct ConnectionFields
{
    QString host = QStringLiteral("localhost");
    QString port = QStringLiteral("5038");
    QString user = QStringLiteral("admin");
    bool tls = false;
    QString caFile;                 // empty: the system's authorities, or `trusted`
    QList<QSslCertificate> trusted; // read from caFile, or given on the command line
    bool challengeLogin = false;    // the "md5" login: the secret never crosses the wire
};

// Asks for the PBX's host, port, user and secret, TLS with an optional file of authorities, and
// the login method, with the checks the command line makes. Enter connects.
class ConnectDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ConnectDialog(QWidget* parent = nullptr);

    void setFields(const ConnectionFields& fields);
    // The fields as accepted: the certificates read from the CA file.
    ConnectionFields fields() const { return accepted; }
    // The secret as the login sends it: UTF-8.
    std::string secret() const;
    void clearSecret();

    // Why the fields cannot be used, or nothing; reads the CA file into `out`.
    QString check(ConnectionFields& out) const;
    // Why this file cannot be a file of authorities, or nothing; its certificates into `out`.
    static QString checkCaFile(const QString& path, QList<QSslCertificate>& out);

    void accept() override;

private:
    void tlsToggled(bool on);
    void browseCaFile();

    QLineEdit* hostEdit;
    QLineEdit* portEdit;
    QLineEdit* userEdit;
    QLineEdit* secretEdit;
    QCheckBox* tlsCheck;
    QLineEdit* caFileEdit;
    QPushButton* caFileButton;
    QComboBox* authCombo;
    QLabel* errorLabel;
    QPushButton* connectButton;
    QList<QSslCertificate> givenTrusted; // from the command line, without a file name
    ConnectionFields accepted;
};
