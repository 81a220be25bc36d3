#pragma once

#include <QStyledItemDelegate>

// Draws the console's cells as the style does, every row as tall as one that shows the long-call
// icon: with uniform row heights the view takes its height from whichever row sorts first, and
// rows with and without the icon must not change it.
class CallRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
