#include "QueueFilterModel.h"

#include "QueueTreeModel.h"

bool QueueFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const int leftKind = left.data(QueueTreeModel::KindRole).toInt();
    const int rightKind = right.data(QueueTreeModel::KindRole).toInt();
    if (leftKind != rightKind) // the view reverses a descending sort: undo it for the kinds
        return (leftKind < rightKind) == (sortOrder() == Qt::AscendingOrder);
    return CallFilterModel::lessThan(left, right);
}
