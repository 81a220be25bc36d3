#include "HangupCauses.h"

QString HangupCauses::text(int cause, const QString& pbxText)
{
    switch (cause) {
    case 1:
        return tr("unallocated number");
    case 3:
        return tr("no route to the number");
    case 16:
    case 31: // "normal, unspecified"
        return tr("ended normally");
    case 17:
        return tr("busy");
    case 18:
    case 19:
        return tr("no answer");
    case 20:
        return tr("phone not reachable");
    case 21:
        return tr("rejected");
    case 22:
        return tr("number changed");
    case 26:
        return tr("answered elsewhere");
    case 27:
        return tr("phone out of order");
    case 28:
        return tr("incomplete number");
    case 34:
        return tr("no circuit available");
    case 42:
        return tr("network congested");
    case 38:
        return tr("network out of order");
    case 41:
        return tr("temporary failure");
    default:
        break;
    }
    if (!pbxText.trimmed().isEmpty())
        return pbxText.trimmed();
    return cause != 0 ? tr("cause %1").arg(cause) : QString();
}
