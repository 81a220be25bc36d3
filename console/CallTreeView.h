#pragma once

#include <QTreeView>

// The console's tree of calls: its columns as they start (widths, the PBX column hidden), rows
// chosen whole and of one height, sorted by duration, and which rows are in view.
class CallTreeView : public QTreeView
{
    Q_OBJECT

public:
    explicit CallTreeView(QAbstractItemModel& calls, QWidget* parent = nullptr);

    // The rows the viewport shows, top to bottom, at most `limit` of them.
    QModelIndexList rowsInView(int limit = 1000) const;
    // The PBX column at least as wide as this name (and its header).
    void fitPbxName(const QString& name);
    // The context menu of the current row, as the Menu key and Shift+F10 ask for it.
    void menuOfCurrentRow();

protected:
    bool event(QEvent* event) override;

private:
    void startColumns();

    int nPbxWidth = 0;
};
