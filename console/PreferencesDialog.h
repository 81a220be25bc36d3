#pragma once

#include <QDialog>

class QCheckBox;
class QSpinBox;

// The console's few choices: when a call counts as long, whether a hangup is confirmed, when a
// caller has waited long in a queue, and whether the desktop is told.
class PreferencesDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PreferencesDialog(QWidget* parent = nullptr);

    void setLongCallMinutes(int minutes);
    int longCallMinutes() const;
    void setConfirmHangups(bool confirm);
    bool confirmHangups() const;
    // 0: each queue's own service level.
    void setLongWaitSeconds(int seconds);
    int longWaitSeconds() const;
    void setNotifyLongWaits(bool notify);
    bool notifyLongWaits() const;

private:
    QSpinBox* longCallSpin;
    QCheckBox* confirmCheck;
    QSpinBox* longWaitSpin;
    QCheckBox* notifyCheck;
};
