#pragma once

#include "ConnectionFields.h"

#include <QDialog>
#include <QList>
#include <QSslCertificate>
#include <QString>

class QCheckBox;
class QComboBox;
class QFormLayout;
struct PbxProfile;
class QLabel;
class QLineEdit;
class QPushButton;

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

    // Makes the dialog a saved PBX's: its name (none of `takenNames`), whether its secret is
    // remembered in the keyring, reconnection and connecting at start. An empty secret keeps a
    // remembered one.
    void setProfile(const PbxProfile& profile, const QStringList& takenNames);
    // The profile as accepted.
    PbxProfile profile() const;

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
    QFormLayout* form;
    // Only for a saved PBX.
    QLineEdit* nameEdit = nullptr;
    QCheckBox* rememberCheck = nullptr;
    QCheckBox* reconnectCheck = nullptr;
    QCheckBox* startCheck = nullptr;
    QStringList taken;
    QList<QSslCertificate> givenTrusted; // from the command line, without a file name
    ConnectionFields accepted;
};
