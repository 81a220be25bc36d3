#pragma once

#include "CallFilterModel.h"

// The queues as the calls are filtered and sorted (the same folding, raw values), with one rule
// of their own: under any sort a queue's waiting callers stay above its members.
class QueueFilterModel : public CallFilterModel
{
    Q_OBJECT

public:
    using CallFilterModel::CallFilterModel;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};
