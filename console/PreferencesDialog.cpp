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
{
    setWindowTitle(tr("Console Preferences"));
    longCallSpin->setObjectName(QStringLiteral("longCallSpin"));
    confirmCheck->setObjectName(QStringLiteral("confirmCheck"));
    longCallSpin->setRange(1, 24 * 60);
    longCallSpin->setSuffix(tr(" min"));
    longCallSpin->setAccessibleName(tr("A call is long after this many minutes"));
    confirmCheck->setAccessibleName(tr("Ask before hanging up"));

    auto* form = new QFormLayout;
    form->addRow(tr("A call is &long after:"), longCallSpin);
    form->addRow(QString(), confirmCheck);
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
