#pragma once

#include <QCoreApplication>
#include <QString>

// The PBX's hangup causes (Q.850) in the operator's words.
class HangupCauses
{
    Q_DECLARE_TR_FUNCTIONS(HangupCauses)

public:
    // The common causes in plain words; any other in the PBX's own (`pbxText`, its Cause-txt),
    // or by number where it gave none. Empty for no cause at all.
    static QString text(int cause, const QString& pbxText);
};
