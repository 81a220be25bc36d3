#include "ConsoleStatusBar.h"

#include "CallFilterModel.h"
#include "CallTreeModel.h"

#include <QLabel>

ConsoleStatusBar::ConsoleStatusBar(const CallTreeModel& allCalls, const CallFilterModel& inView,
                                   QWidget* parent)
    : QStatusBar(parent)
    , calls(allCalls)
    , shown(inView)
    , idleLabel(newLabel(QStringLiteral("connectionLabel")))
    , countLabel(newLabel(QStringLiteral("countLabel")))
    , longLabel(newLabel(QStringLiteral("longLabel")))
{
    setObjectName(QStringLiteral("statusBar"));
    for (QLabel* label : {idleLabel, countLabel, longLabel})
        addPermanentWidget(label);
    idleLabel->setText(tr("Not connected"));

    // Both models: the filter takes a removed row out of view while the calls still hold it,
    // and the calls remove a row the filter never showed without a word from the filter.
    for (const QAbstractItemModel* model : {static_cast<const QAbstractItemModel*>(&calls),
                                            static_cast<const QAbstractItemModel*>(&shown)}) {
        for (const auto signal :
             {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            connect(model, signal, this, [this](const QModelIndex& under) {
                if (!under.isValid())
                    updateCounts();
            });
        connect(model, &QAbstractItemModel::modelReset, this, &ConsoleStatusBar::updateCounts);
        connect(model, &QAbstractItemModel::layoutChanged, this, &ConsoleStatusBar::updateCounts);
    }
    connect(&shown, &CallFilterModel::filterTextChanged, this, &ConsoleStatusBar::updateCounts);
    updateCounts();
}

QLabel* ConsoleStatusBar::newLabel(const QString& objectName)
{
    auto* label = new QLabel(this);
    label->setObjectName(objectName);
    label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    label->setContentsMargins(4, 0, 4, 0);
    return label;
}

void ConsoleStatusBar::setPbxState(int pbx, const QString& name, const QString& state,
                                   const QString& details, const QString& protection)
{
    PbxLabels& labels = pbxes[pbx];
    if (labels.state == nullptr) {
        labels.state = newLabel(QStringLiteral("pbxLabel%1").arg(pbx));
        labels.protection = newLabel(QStringLiteral("pbxProtection%1").arg(pbx));
        // After the "Not connected" label and the labels of the PBXs with lower keys.
        const auto before = static_cast<int>(std::distance(pbxes.begin(), pbxes.find(pbx)));
        insertPermanentWidget(1 + 2 * before, labels.state);
        insertPermanentWidget(2 + 2 * before, labels.protection);
    }
    labels.state->setText(state);
    labels.state->setToolTip(details);
    labels.state->setAccessibleName(tr("State of the PBX %1").arg(name));
    labels.protection->setText(protection);
    labels.protection->setVisible(!protection.isEmpty());
    idleLabel->setVisible(false);
}

void ConsoleStatusBar::removePbxState(int pbx)
{
    const auto it = pbxes.find(pbx);
    if (it == pbxes.end())
        return;
    for (QLabel* label : {it->second.state, it->second.protection}) {
        removeWidget(label);
        label->deleteLater();
    }
    pbxes.erase(it);
    idleLabel->setVisible(pbxes.empty());
}

QString ConsoleStatusBar::pbxStateText() const
{
    QStringList texts;
    for (const auto& [pbx, labels] : pbxes)
        texts << labels.state->text();
    return texts.join(QStringLiteral(" · "));
}

QString ConsoleStatusBar::countText() const
{
    const int all = calls.rowCount();
    const int inView = shown.rowCount();
    if (shown.filterText().trimmed().isEmpty())
        return all == 1 ? tr("1 call") : tr("%1 calls").arg(all);
    return all == 1 ? tr("%1 of 1 call").arg(inView) : tr("%1 of %2 calls").arg(inView).arg(all);
}

QString ConsoleStatusBar::longCallText() const
{
    const int n = calls.longCalls();
    return n == 1 ? tr("1 long call") : tr("%1 long calls").arg(n);
}

void ConsoleStatusBar::updateCounts()
{
    countLabel->setText(countText());
    longLabel->setText(longCallText());
    longLabel->setVisible(calls.longCalls() > 0);
}
