#include "PreferencesDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>

PreferencesDialog::PreferencesDialog(QWidget* parent)
    : QDialog(parent)
    , longCallSpin(new QSpinBox(this))
    , confirmCheck(new QCheckBox(tr("&Ask before hanging up"), this))
    , longWaitSpin(new QSpinBox(this))
    , notifyCheck(new QCheckBox(tr("&Notify the desktop of long waits"), this))
{
    setWindowTitle(tr("Console Preferences"));
    longCallSpin->setObjectName(QStringLiteral("longCallSpin"));
    confirmCheck->setObjectName(QStringLiteral("confirmCheck"));
    longCallSpin->setRange(1, 24 * 60);
    longCallSpin->setSuffix(tr(" min"));
    longCallSpin->setAccessibleName(tr("A call is long after this many minutes"));
    confirmCheck->setAccessibleName(tr("Ask before hanging up"));
    longWaitSpin->setObjectName(QStringLiteral("longWaitSpin"));
    notifyCheck->setObjectName(QStringLiteral("notifyCheck"));
    longWaitSpin->setRange(0, 3600);
    longWaitSpin->setSuffix(tr(" s"));
    longWaitSpin->setSpecialValueText(tr("the queue's service level, else 60 s"));
    longWaitSpin->setAccessibleName(tr("A caller has waited long after this many seconds"));

    auto* form = new QFormLayout;
    form->addRow(tr("A call is &long after:"), longCallSpin);
    form->addRow(QString(), confirmCheck);
    form->addRow(tr("A &wait in a queue is long after:"), longWaitSpin);
    form->addRow(QString(), notifyCheck);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void PreferencesDialog::setLongCallMinutes(int minutes)
{
    longCallSpin->setValue(minutes);
}

int PreferencesDialog::longCallMinutes() const
{
    return longCallSpin->value();
}

void PreferencesDialog::setConfirmHangups(bool confirm)
{
    confirmCheck->setChecked(confirm);
}

bool PreferencesDialog::confirmHangups() const
{
    return confirmCheck->isChecked();
}

void PreferencesDialog::setLongWaitSeconds(int seconds)
{
    longWaitSpin->setValue(seconds);
}

int PreferencesDialog::longWaitSeconds() const
{
    return longWaitSpin->value();
}

void PreferencesDialog::setNotifyLongWaits(bool notify)
{
    notifyCheck->setChecked(notify);
}

bool PreferencesDialog::notifyLongWaits() const
{
    return notifyCheck->isChecked();
}
