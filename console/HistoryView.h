#pragma once

#include "HistoryFilterModel.h"
#include "HistoryModel.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTreeView;

// The history tab: the calls that ended, newest first, behind a filter like the calls', with
// the call-back list (the callers who gave up waiting, alone) a tick away, and a line that says
// what is kept and for how long.
class HistoryView : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryView(corvale::History& history, QWidget* parent = nullptr);
    ~HistoryView() override;

    QTreeView* view() const { return table; }
    QLineEdit* filter() const { return filterEdit; }
    QCheckBox* callBackList() const { return callBacks; }
    HistoryModel& model() { return entries; }
    HistoryFilterModel& proxy() { return filtered; }
    // Ctrl+F: into the filter, its text chosen.
    void focusFilter();

private:
    HistoryModel entries;
    HistoryFilterModel filtered;
    QLineEdit* filterEdit;
    QCheckBox* callBacks;
    QTreeView* table;
    QLabel* bounds;
};
