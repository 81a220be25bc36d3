#include "QueueTreeModel.h"

#include "FilterFolding.h"
#include "QueueCells.h"
#include "Queues.h"

#include <algorithm>

using corvale::Queue;
using corvale::QueueCaller;
using corvale::QueueMember;
using Child = corvale::Queues::Child;

// A queue's row carries no pointer; its children's carry their queue.
struct QueueTreeModel::Source
{
    int key = 0;
    corvale::Queues* queues = nullptr;
    QString name;
    bool current = true;
    bool polled = false;
    int pollSeconds = 0;
    std::unique_ptr<Relay> relay;
    std::size_t nAddedRow = 0;
    const Queue* addedTo = nullptr;
    Child addedKind = Child::Caller;
    std::size_t nAddedIndex = 0;
    std::vector<std::string> touched;
    bool touchedAll = false;

    void touch(std::string_view channel)
    {
        if (touchedAll)
            return;
        if (touched.size() >= MaxTouched) {
            touched.clear();
            touchedAll = true;
            return;
        }
        touched.emplace_back(channel);
    }

    QueueCells::Context context() const
    {
        return {name, current, polled, pollSeconds, queues->now(), queues->wallSeconds()};
    }
};

// Tells the model of one source's changes, naming the source.
class QueueTreeModel::Relay : public corvale::Queues::Listener
{
public:
    Relay(QueueTreeModel& toldModel, Source& toldSource)
        : model(toldModel)
        , source(toldSource)
    {}

    void queueAboutToBeAdded(std::size_t row) override
    {
        source.nAddedRow = row;
        const int at = model.offsetOf(source) + static_cast<int>(row);
        model.beginInsertRows(QModelIndex(), at, at);
    }
    void queueAdded() override
    {
        model.owners.insert(&source.queues->at(source.nAddedRow), &source);
        model.rowsMoved();
        model.endInsertRows();
    }
    void queueAboutToBeRemoved(std::size_t row) override
    {
        const Queue& queue = source.queues->at(row);
        for (const auto& caller : queue.callers)
            source.touch(caller->channel);
        model.forgetCallers(queue);
        model.owners.remove(&queue);
        const int at = model.offsetOf(source) + static_cast<int>(row);
        model.beginRemoveRows(QModelIndex(), at, at);
    }
    void queueRemoved() override
    {
        model.rowsMoved();
        model.endRemoveRows();
    }
    void queueChanged(std::size_t row) override
    {
        model.emitRow(QModelIndex(), model.offsetOf(source) + static_cast<int>(row));
    }
    void childAboutToBeAdded(const Queue& queue, Child kind, std::size_t index) override
    {
        source.addedTo = &queue;
        source.addedKind = kind;
        source.nAddedIndex = index;
        const int row = rowOf(queue, kind, index);
        model.beginInsertRows(model.indexOf(queue), row, row);
    }
    void childAdded() override
    {
        if (source.addedKind == Child::Caller)
            source.touch(source.addedTo->callers[source.nAddedIndex]->channel);
        model.endInsertRows();
    }
    void childAboutToBeRemoved(const Queue& queue, Child kind, std::size_t index) override
    {
        if (kind == Child::Caller) {
            const QueueCaller* caller = queue.callers[index].get();
            source.touch(caller->channel);
            model.marked.remove(caller);
            model.reported.remove(caller);
        }
        const int row = rowOf(queue, kind, index);
        model.beginRemoveRows(model.indexOf(queue), row, row);
    }
    void childRemoved() override { model.endRemoveRows(); }
    void childChanged(const Queue& queue, Child kind, std::size_t index) override
    {
        if (kind == Child::Caller)
            source.touch(queue.callers[index]->channel);
        model.emitRow(model.indexOf(queue), rowOf(queue, kind, index));
    }
    void callerAbandoned(const corvale::AbandonedCaller& caller) override
    {
        emit model.callerAbandoned(source.key, caller);
    }
    void callerAnswered(const corvale::AnsweredCaller& caller) override
    {
        source.touch(caller.channel);
        emit model.callerAnswered(source.key, caller);
    }

private:
    static int rowOf(const Queue& queue, Child kind, std::size_t index)
    {
        return static_cast<int>(kind == Child::Caller ? index : queue.callers.size() + index);
    }

    QueueTreeModel& model;
    Source& source;
};

QueueTreeModel::QueueTreeModel(QObject* parent)
    : QAbstractItemModel(parent)
{}

QueueTreeModel::~QueueTreeModel()
{
    for (const auto& source : sources)
        source->queues->setListener(nullptr);
}

void QueueTreeModel::addSource(int key, corvale::Queues& queues, const QString& name)
{
    removeSource(key);
    auto source = std::make_unique<Source>();
    source->key = key;
    source->queues = &queues;
    source->name = name;
    source->relay = std::make_unique<Relay>(*this, *source);
    const int first = rowCount();
    const auto size = static_cast<int>(queues.size());
    if (size > 0)
        beginInsertRows(QModelIndex(), first, first + size - 1);
    queues.setListener(source->relay.get());
    for (std::size_t row = 0; row < queues.size(); ++row)
        owners.insert(&queues.at(row), source.get());
    sources.push_back(std::move(source));
    rowsMoved();
    if (size > 0)
        endInsertRows();
}

void QueueTreeModel::removeSource(int key)
{
    const auto it = std::find_if(sources.begin(), sources.end(),
                                 [key](const auto& source) { return source->key == key; });
    if (it == sources.end())
        return;
    Source& source = **it;
    const int first = offsetOf(source);
    const auto size = static_cast<int>(source.queues->size());
    if (size > 0)
        beginRemoveRows(QModelIndex(), first, first + size - 1);
    source.queues->setListener(nullptr);
    for (std::size_t row = 0; row < source.queues->size(); ++row) {
        forgetCallers(source.queues->at(row));
        owners.remove(&source.queues->at(row));
    }
    sources.erase(it);
    rowsMoved();
    if (size > 0)
        endRemoveRows();
}

bool QueueTreeModel::hasSource(int key) const
{
    return sourceWithKey(key) != nullptr;
}

QueueTreeModel::Source* QueueTreeModel::sourceWithKey(int key) const
{
    for (const auto& source : sources)
        if (source->key == key)
            return source.get();
    return nullptr;
}

void QueueTreeModel::forgetCallers(const Queue& queue)
{
    for (const auto& caller : queue.callers) {
        marked.remove(caller.get());
        reported.remove(caller.get());
    }
}

void QueueTreeModel::emitRow(const QModelIndex& parent, int row)
{
    emit dataChanged(index(row, 0, parent), index(row, ColumnCount - 1, parent));
}

void QueueTreeModel::setPbxName(int key, const QString& name)
{
    if (Source* source = sourceWithKey(key); source != nullptr && source->name != name) {
        source->name = name;
        const int first = offsetOf(*source);
        const auto size = static_cast<int>(source->queues->size());
        if (size > 0)
            emit dataChanged(index(first, 0), index(first + size - 1, ColumnCount - 1));
    }
}

QString QueueTreeModel::pbxName(int key) const
{
    const Source* source = sourceWithKey(key);
    return source != nullptr ? source->name : QString();
}

void QueueTreeModel::setState(int key, bool current, bool polled, int pollSeconds)
{
    Source* source = sourceWithKey(key);
    if (source == nullptr || (source->current == current && source->polled == polled &&
                              source->pollSeconds == pollSeconds))
        return;
    source->current = current;
    source->polled = polled;
    source->pollSeconds = pollSeconds;
    // The children grey with their queue.
    const int first = offsetOf(*source);
    for (int row = first; row < first + static_cast<int>(source->queues->size()); ++row) {
        const QModelIndex queue = index(row, 0);
        emitRow(QModelIndex(), row);
        if (const int children = rowCount(queue); children > 0)
            emit dataChanged(index(0, 0, queue), index(children - 1, ColumnCount - 1, queue));
    }
}

void QueueTreeModel::setLongWaitSeconds(int seconds)
{
    nLongWait = std::max(seconds, 0);
    updateLongWaits();
}

int QueueTreeModel::thresholdOf(const Queue& queue) const
{
    if (nLongWait > 0)
        return nLongWait;
    return queue.serviceLevel > 0 ? static_cast<int>(queue.serviceLevel) : DefaultLongWaitSeconds;
}

std::vector<QueueTreeModel::LongWait> QueueTreeModel::updateLongWaits()
{
    std::vector<LongWait> passed;
    for (const auto& source : sources) {
        const auto now = source->queues->now();
        for (std::size_t row = 0; row < source->queues->size(); ++row) {
            const Queue& queue = source->queues->at(row);
            const QModelIndex parent = indexOf(queue);
            for (std::size_t at = 0; at < queue.callers.size(); ++at) {
                const QueueCaller* caller = queue.callers[at].get();
                const bool longNow = caller->waitSeconds(now) >= thresholdOf(queue);
                if (longNow == marked.contains(caller))
                    continue;
                if (longNow)
                    marked.insert(caller);
                else
                    marked.remove(caller);
                emitRow(parent, static_cast<int>(at));
                if (longNow && !reported.contains(caller)) {
                    reported.insert(caller);
                    passed.push_back({source->key, source->name, QueueCells::text(queue.name),
                                      QueueCells::callerText(*caller), caller->waitSeconds(now)});
                }
            }
        }
    }
    return passed;
}

void QueueTreeModel::tick(const QModelIndexList& rows)
{
    for (const QModelIndex& row : rows) {
        if (!row.isValid() || row.model() != this)
            continue;
        const QModelIndex cell = row.siblingAtColumn(Wait);
        emit dataChanged(cell, cell, {Qt::DisplayRole, SortRole});
    }
}

std::vector<std::string> QueueTreeModel::takeTouchedChannels(int key, bool& all)
{
    Source* source = sourceWithKey(key);
    all = source != nullptr && std::exchange(source->touchedAll, false);
    return source != nullptr ? std::exchange(source->touched, {}) : std::vector<std::string>{};
}

const std::vector<std::size_t>& QueueTreeModel::starts() const
{
    if (startsStale) {
        rowStarts.clear();
        std::size_t at = 0;
        for (const auto& source : sources) {
            rowStarts.push_back(at);
            at += source->queues->size();
        }
        rowStarts.push_back(at);
        startsStale = false;
    }
    return rowStarts;
}

std::pair<const QueueTreeModel::Source*, std::size_t> QueueTreeModel::sourceAt(int row) const
{
    const std::vector<std::size_t>& first = starts();
    if (row < 0 || static_cast<std::size_t>(row) >= first.back())
        return {nullptr, 0};
    const auto at = static_cast<std::size_t>(row);
    const auto next = std::upper_bound(first.begin(), first.end() - 1, at);
    const auto index = static_cast<std::size_t>(next - first.begin()) - 1;
    return {sources[index].get(), at - first[index]};
}

int QueueTreeModel::offsetOf(const Source& source) const
{
    const std::vector<std::size_t>& first = starts();
    for (std::size_t i = 0; i < sources.size(); ++i)
        if (sources[i].get() == &source)
            return static_cast<int>(first[i]);
    return static_cast<int>(first.back());
}

const QueueTreeModel::Source* QueueTreeModel::ownerOf(const Queue& queue) const
{
    return owners.value(&queue, nullptr);
}

QModelIndex QueueTreeModel::indexOf(const Queue& queue, int column) const
{
    const Source* source = ownerOf(queue);
    if (source == nullptr)
        return {};
    return createIndex(offsetOf(*source) + static_cast<int>(source->queues->rowOf(queue)), column,
                       nullptr);
}

QModelIndex QueueTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column < 0 || column >= ColumnCount)
        return {};
    if (!parent.isValid())
        return sourceAt(row).first != nullptr ? createIndex(row, column, nullptr) : QModelIndex();
    if (parent.internalPointer() != nullptr)
        return {};
    const Queue* queue = queueAt(parent);
    if (queue == nullptr ||
        static_cast<std::size_t>(row) >= queue->callers.size() + queue->members.size())
        return {};
    return createIndex(row, column, const_cast<Queue*>(queue));
}

QModelIndex QueueTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalPointer() == nullptr)
        return {};
    return indexOf(*static_cast<const Queue*>(child.internalPointer()));
}

int QueueTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return static_cast<int>(starts().back());
    if (parent.internalPointer() != nullptr || parent.column() != 0)
        return 0;
    const Queue* queue = queueAt(parent);
    return queue != nullptr ? static_cast<int>(queue->callers.size() + queue->members.size()) : 0;
}

int QueueTreeModel::columnCount(const QModelIndex&) const
{
    return ColumnCount;
}

bool QueueTreeModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

const Queue* QueueTreeModel::queueAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    if (index.internalPointer() != nullptr)
        return static_cast<const Queue*>(index.internalPointer());
    const auto [source, local] = sourceAt(index.row());
    return source != nullptr ? &source->queues->at(local) : nullptr;
}

const QueueCaller* QueueTreeModel::callerAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this || index.internalPointer() == nullptr)
        return nullptr;
    const Queue* queue = queueAt(index);
    const auto row = static_cast<std::size_t>(index.row());
    return row < queue->callers.size() ? queue->callers[row].get() : nullptr;
}

const QueueMember* QueueTreeModel::memberAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this || index.internalPointer() == nullptr)
        return nullptr;
    const Queue* queue = queueAt(index);
    const auto row = static_cast<std::size_t>(index.row());
    if (row < queue->callers.size() || row >= queue->callers.size() + queue->members.size())
        return nullptr;
    return queue->members[row - queue->callers.size()].get();
}

int QueueTreeModel::keyAt(const QModelIndex& index) const
{
    const Queue* queue = queueAt(index);
    const Source* source = queue != nullptr ? ownerOf(*queue) : nullptr;
    return source != nullptr ? source->key : -1;
}

QVariant QueueTreeModel::data(const QModelIndex& index, int role) const
{
    const Queue* queue = queueAt(index);
    const Source* source = queue != nullptr ? ownerOf(*queue) : nullptr;
    if (source == nullptr)
        return {};
    const QueueCells::Context context = source->context();
    const int column = index.column();
    if (index.internalPointer() == nullptr) {
        if (role == KindRole)
            return QueueRow;
        if (role == FoldedRole)
            return foldForFilter(QueueCells::searchedText(*queue, context));
        return QueueCells::queueCell(*queue, column, role, context);
    }
    if (const QueueCaller* caller = callerAt(index)) {
        if (role == KindRole)
            return CallerRow;
        if (role == FoldedRole)
            return foldForFilter(QueueCells::searchedText(*caller));
        return QueueCells::callerCell(*caller, column, role, context, marked.contains(caller));
    }
    if (const QueueMember* member = memberAt(index)) {
        if (role == KindRole)
            return MemberRow;
        if (role == FoldedRole)
            return foldForFilter(QueueCells::searchedText(*member));
        return QueueCells::memberCell(*member, column, role, context);
    }
    return {};
}

QVariant QueueTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return orientation == Qt::Horizontal ? QueueCells::headerCell(section, role) : QVariant();
}
