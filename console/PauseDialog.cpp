#include "PauseDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace {

QString reasonsKey()
{
    return QStringLiteral("console/pauseReasons");
}

} // namespace

PauseDialog::PauseDialog(const QString& member, const QString& queue, QWidget* parent)
    : QDialog(parent)
    , reasonCombo(new QComboBox(this))
    , everyQueueCheck(new QCheckBox(tr("In &every queue of this member"), this))
    , problemLabel(new QLabel(this))
{
    setWindowTitle(tr("Pause a Queue Member"));
    reasonCombo->setObjectName(QStringLiteral("reasonCombo"));
    everyQueueCheck->setObjectName(QStringLiteral("everyQueueCheck"));
    problemLabel->setObjectName(QStringLiteral("problemLabel"));
    reasonCombo->setEditable(true);
    reasonCombo->setInsertPolicy(QComboBox::NoInsert);
    reasonCombo->addItems(usedReasons());
    reasonCombo->setCurrentIndex(-1);
    reasonCombo->lineEdit()->setPlaceholderText(tr("No reason"));
    reasonCombo->setAccessibleName(tr("Reason for the pause"));
    problemLabel->setWordWrap(true);
    problemLabel->hide();

    auto* form = new QFormLayout;
    form->addRow(tr("Member:"), new QLabel(member, this));
    form->addRow(tr("Queue:"), new QLabel(queue, this));
    form->addRow(tr("&Reason:"), reasonCombo);
    form->addRow(QString(), everyQueueCheck);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("&Pause"));
    connect(buttons, &QDialogButtonBox::accepted, this, &PauseDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(reasonCombo, &QComboBox::editTextChanged, problemLabel, &QWidget::hide);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problemLabel);
    layout->addWidget(buttons);
}

QString PauseDialog::reason() const
{
    return reasonCombo->currentText().trimmed();
}

void PauseDialog::setReason(const QString& reason)
{
    reasonCombo->setEditText(reason);
}

bool PauseDialog::everyQueue() const
{
    return everyQueueCheck->isChecked();
}

QStringList PauseDialog::offeredReasons() const
{
    QStringList reasons;
    for (int i = 0; i < reasonCombo->count(); ++i)
        reasons << reasonCombo->itemText(i);
    return reasons;
}

QString PauseDialog::problem() const
{
    const QString typed = reasonCombo->currentText();
    if (typed.contains(QLatin1Char('\n')) || typed.contains(QLatin1Char('\r')))
        return tr("A reason cannot hold a line break.");
    if (typed.contains(QChar(u'\0')))
        return tr("A reason cannot hold a NUL character.");
    return {};
}

void PauseDialog::accept()
{
    if (const QString wrong = problem(); !wrong.isEmpty()) {
        problemLabel->setText(wrong);
        problemLabel->show();
        reasonCombo->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!reason().isEmpty())
        remember(reason());
    QDialog::accept();
}

QStringList PauseDialog::usedReasons()
{
    return QSettings().value(reasonsKey()).toStringList();
}

void PauseDialog::remember(const QString& reason)
{
    QStringList reasons = usedReasons();
    reasons.removeAll(reason);
    reasons.prepend(reason);
    while (reasons.size() > RememberedReasons)
        reasons.removeLast();
    QSettings().setValue(reasonsKey(), reasons);
}
