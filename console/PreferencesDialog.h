#pragma once

#include <QDialog>

class QCheckBox;
class QSpinBox;

// The console's few choices: when a call counts as long, and whether a hangup is confirmed.
class PreferencesDialog : public QDialog
{
    Q_OBJECT

public:
    explicit PreferencesDialog(QWidget* parent = nullptr);

    void setLongCallMinutes(int minutes);
    int longCallMinutes() const;
    void setConfirmHangups(bool confirm);
    bool confirmHangups() const;

private:
    QSpinBox* longCallSpin;
    QCheckBox* confirmCheck;
};
