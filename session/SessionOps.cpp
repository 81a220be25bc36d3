#include "SessionOps.h"

#include <QCryptographicHash>

namespace corvale {

std::string Session::Ops::challengeKey(std::string_view challenge) const
{
    if (!current())
        return {};
    // The secret as the plain login would send it.
    QCryptographicHash md5(QCryptographicHash::Md5);
    md5.addData(QByteArrayView(challenge.data(), static_cast<qsizetype>(challenge.size())));
    if (session.password) {
        const std::string secret = session.password();
        md5.addData(QByteArrayView(secret.data(), static_cast<qsizetype>(secret.size())));
    }
    return md5.result().toHex().toStdString();
}

} // namespace corvale
