#include "CallRowDelegate.h"

#include <QApplication>
#include <QStyle>

#include <algorithm>

QSize CallRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    // The height of this cell had it an icon of the view's size.
    QStyleOptionViewItem withIcon = option;
    initStyleOption(&withIcon, index);
    withIcon.features |= QStyleOptionViewItem::HasDecoration;
    if (withIcon.decorationSize.isEmpty())
        withIcon.decorationSize = option.decorationSize;
    const QWidget* widget = option.widget;
    const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    const QSize iconRow =
        style->sizeFromContents(QStyle::CT_ItemViewItem, &withIcon, QSize(), widget);
    size.setHeight(std::max(size.height(), iconRow.height()));
    return size;
}
