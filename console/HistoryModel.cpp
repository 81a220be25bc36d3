#include "HistoryModel.h"

#include "CsvExport.h"
#include "HangupCauses.h"
#include "session/DisplayText.h"

#include <QApplication>
#include <QDateTime>
#include <QLocale>
#include <QStyle>

#include <chrono>

using corvale::Ending;
using corvale::HistoryEntry;

static_assert(HistoryModel::SortRole == CsvExport::RawRole, "the export reads the raw values");

namespace {

constexpr std::string_view Unknown = "<unknown>";

QString decoded(const std::string& bytes)
{
    return corvale::displayText(bytes);
}

QDateTime endedAt(const HistoryEntry& entry)
{
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(entry.ended.at.time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(ms.count(), Qt::OffsetFromUTC, entry.ended.utcOffset);
}

// A wait in minutes and seconds, "0:42"; with hours once it is that long.
QString holdText(qint64 seconds)
{
    if (seconds >= 3600)
        return HistoryModel::durationText(seconds);
    seconds = std::max<qint64>(seconds, 0);
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

HistoryModel::HistoryModel(corvale::History& toldHistory, Fold fold, QObject* parent)
    : QAbstractTableModel(parent)
    , history(toldHistory)
    , folder(std::move(fold))
{
    for (std::size_t i = 0; i < history.size(); ++i)
        folded.push_back(foldedText(history.at(i)));
    history.setListener(this);
    pruning.setInterval(std::chrono::minutes(1));
    connect(&pruning, &QTimer::timeout, this, [this] { history.prune(); });
    pruning.start();
}

HistoryModel::~HistoryModel()
{
    if (history.listener() == this)
        history.setListener(nullptr);
}

void HistoryModel::entryAboutToBeAdded()
{
    beginInsertRows(QModelIndex(), 0, 0);
}

void HistoryModel::entryAdded()
{
    folded.push_back(foldedText(history.at(history.size() - 1)));
    endInsertRows();
}

void HistoryModel::entriesAboutToBeRemoved(std::size_t count)
{
    const auto size = static_cast<int>(history.size());
    nRemoving = count;
    beginRemoveRows(QModelIndex(), size - static_cast<int>(count), size - 1);
}

void HistoryModel::entriesRemoved()
{
    folded.erase(folded.begin(), folded.begin() + static_cast<std::ptrdiff_t>(nRemoving));
    nRemoving = 0;
    endRemoveRows();
}

int HistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(history.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const HistoryEntry* HistoryModel::entryAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this || index.row() >= rowCount())
        return nullptr;
    return &history.at(history.size() - 1 - static_cast<std::size_t>(index.row()));
}

QString HistoryModel::partyText(const std::string& number, const std::string& name)
{
    // The PBX says "<unknown>" where it knows nothing; "5552001 <<unknown>>" would say less.
    const auto known = [](const std::string& text) { return !text.empty() && text != Unknown; };
    if (!known(name))
        return known(number) ? decoded(number) : QString();
    if (!known(number))
        return decoded(name);
    return QStringLiteral("%1 <%2>").arg(decoded(number), decoded(name));
}

QString HistoryModel::durationText(qint64 seconds)
{
    seconds = std::max<qint64>(seconds, 0);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString HistoryModel::endingText(const HistoryEntry& entry)
{
    switch (entry.ending) {
    case Ending::Abandoned:
        if (entry.position > 0)
            return tr("abandoned in %1 after %2 at position %3")
                .arg(decoded(entry.queue), holdText(entry.holdSeconds))
                .arg(entry.position);
        return tr("abandoned in %1 after %2")
            .arg(decoded(entry.queue), holdText(entry.holdSeconds));
    case Ending::FromConsole:
        return tr("ended from this console");
    case Ending::Answered:
        if (entry.member.empty())
            return tr("answered after %1").arg(holdText(entry.holdSeconds));
        return tr("answered by %1 after %2")
            .arg(decoded(entry.member), holdText(entry.holdSeconds));
    case Ending::Hangup:
        break;
    }
    return HangupCauses::text(entry.cause, decoded(entry.causeText));
}

QString HistoryModel::boundsNote()
{
    return tr("The history holds the calls that ended while connected in the last %1 hours, at "
              "most %2 of them, in memory for this run only: nothing is written to disk unless "
              "you export it.")
        .arg(corvale::History::MaxAge.count())
        .arg(QLocale().toString(static_cast<qulonglong>(corvale::History::MaxEntries)));
}

QString HistoryModel::foldedText(const HistoryEntry& entry) const
{
    const QString text = QStringList{partyText(entry.fromNumber, entry.fromName),
                                     partyText(entry.toNumber, entry.toName),
                                     QString::fromStdString(entry.pbx), endingText(entry)}
                             .join(QLatin1Char('\n'));
    return folder ? folder(text) : text;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const
{
    const HistoryEntry* entry = entryAt(index);
    if (entry == nullptr)
        return {};
    if (role == FoldedRole)
        return folded[history.size() - 1 - static_cast<std::size_t>(index.row())];
    if (role == AbandonedRole)
        return entry->abandoned();
    return cell(*entry, index.column(), role);
}

QVariant HistoryModel::cell(const HistoryEntry& entry, int column, int role) const
{
    const bool shown =
        role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole;
    const bool text = shown || role == SortRole;
    switch (column) {
    case Ended:
        if (role == SortRole)
            return endedAt(entry);
        if (shown)
            return QLocale().toString(endedAt(entry), QLocale::ShortFormat);
        break;
    case From:
        if (entry.abandoned() && role == Qt::DecorationRole) {
            if (abandonedIcon.isNull())
                abandonedIcon = QApplication::style()->standardIcon(QStyle::SP_BrowserReload);
            return abandonedIcon;
        }
        if (entry.abandoned() && role == Qt::AccessibleTextRole)
            return tr("%1, abandoned").arg(partyText(entry.fromNumber, entry.fromName));
        if (text)
            return partyText(entry.fromNumber, entry.fromName);
        break;
    case To:
        if (text)
            return partyText(entry.toNumber, entry.toName);
        break;
    case Pbx:
        if (text)
            return QString::fromStdString(entry.pbx);
        break;
    case Duration:
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (role == SortRole)
            return static_cast<qlonglong>(entry.seconds.value_or(-1));
        if (shown)
            return entry.seconds ? durationText(*entry.seconds) : QString();
        break;
    case HowEnded:
        if (role == Qt::ToolTipRole && entry.cause != 0 && !entry.causeText.empty())
            return tr("%1 (the PBX said: %2, cause %3)")
                .arg(endingText(entry), decoded(entry.causeText))
                .arg(entry.cause);
        if (text)
            return endingText(entry);
        break;
    default:
        break;
    }
    return {};
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == CsvExport::DurationColumnRole)
        return section == Duration;
    if (role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Ended:
        return tr("Ended");
    case From:
        return tr("From");
    case To:
        return tr("To");
    case Pbx:
        return tr("PBX");
    case Duration:
        return tr("Duration");
    case HowEnded:
        return tr("How it ended");
    default:
        return {};
    }
}
