#include "CsvExport.h"

#include <QAbstractItemModel>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

bool isDurationColumn(const QAbstractItemModel& model, int column)
{
    return model.headerData(column, Qt::Horizontal, CsvExport::DurationColumnRole).toBool();
}

void appendTwoDigits(QString& out, int value)
{
    out += QLatin1Char(static_cast<char>('0' + value / 10));
    out += QLatin1Char(static_cast<char>('0' + value % 10));
}

// 2026-12-10T14:03:22+01:00: the time as the clock showed it, and that clock's offset.
QString isoText(const QDateTime& time)
{
    const QDate date = time.date();
    const QTime clock = time.time();
    QString out = QString::number(date.year()).rightJustified(4, QLatin1Char('0'));
    for (const auto& [separator, value] : {std::pair{'-', date.month()},
                                           {'-', date.day()},
                                           {'T', clock.hour()},
                                           {':', clock.minute()},
                                           {':', clock.second()}}) {
        out += QLatin1Char(separator);
        appendTwoDigits(out, value);
    }
    const int offset = time.offsetFromUtc();
    out += QLatin1Char(offset < 0 ? '-' : '+');
    appendTwoDigits(out, std::abs(offset) / 3600);
    out += QLatin1Char(':');
    appendTwoDigits(out, std::abs(offset) / 60 % 60);
    return out;
}

QString rawText(const QVariant& value)
{
    if (value.typeId() == QMetaType::QDateTime)
        return isoText(value.toDateTime());
    return value.toString();
}

// Seconds as h:mm:ss and as whole seconds; both empty when unknown.
std::pair<QString, QString> durationTexts(const QVariant& raw)
{
    bool ok = false;
    const double seconds = raw.toDouble(&ok);
    if (!ok || !(seconds >= 0))
        return {};
    const auto whole = static_cast<qint64>(std::floor(seconds));
    const QString hms = QStringLiteral("%1:%2:%3")
                            .arg(whole / 3600)
                            .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
                            .arg(whole % 60, 2, 10, QLatin1Char('0'));
    return {hms, QString::number(whole)};
}

void appendField(QString& out, const QString& text)
{
    const bool guard = CsvExport::needsGuard(text);
    const bool quote = guard || text.contains(QLatin1Char(',')) ||
                       text.contains(QLatin1Char('"')) || text.contains(QLatin1Char('\r')) ||
                       text.contains(QLatin1Char('\n'));
    if (!quote) {
        out += text;
        return;
    }
    out += QLatin1Char('"');
    if (guard)
        out += QLatin1Char('\'');
    for (const QChar c : text) {
        if (c == QLatin1Char('"'))
            out += QLatin1Char('"');
        out += c;
    }
    out += QLatin1Char('"');
}

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// Why the file could not be made, in the operator's terms where the folder tells.
QString openFailure(const QString& path, const QString& reason)
{
    const QFileInfo target(path);
    if (target.isDir())
        return CsvExport::tr("%1 is a folder. Choose a file name for the export.").arg(shown(path));
    const QFileInfo folder(target.absolutePath());
    if (!folder.isDir())
        return CsvExport::tr("The folder %1 does not exist. Choose another folder for the export.")
            .arg(shown(folder.absoluteFilePath()));
    if (!folder.isWritable())
        return CsvExport::tr(
                   "Corvale may not write in the folder %1. Choose another folder for the "
                   "export.")
            .arg(shown(folder.absoluteFilePath()));
    return CsvExport::tr("The export could not be written to %1: %2").arg(shown(path), reason);
}

} // namespace

bool CsvExport::needsGuard(const QString& field)
{
    if (field.isEmpty())
        return false;
    const QChar first = field.front();
    return first == QLatin1Char('=') || first == QLatin1Char('+') || first == QLatin1Char('-') ||
           first == QLatin1Char('@') || first == QLatin1Char('\t') || first == QLatin1Char('\r');
}

QString CsvExport::guarded(const QString& field)
{
    return needsGuard(field) ? QLatin1Char('\'') + field : field;
}

QList<int> CsvExport::visibleColumns(const QHeaderView& header)
{
    QList<int> columns;
    for (int visual = 0; visual < header.count(); ++visual) {
        const int logical = header.logicalIndex(visual);
        if (!header.isSectionHidden(logical))
            columns << logical;
    }
    return columns;
}

QByteArray CsvExport::csv(const QAbstractItemModel& model, const QList<int>& columns,
                          const Expanded& expanded)
{
    QList<bool> durations;
    for (const int column : columns)
        durations << isDurationColumn(model, column);

    QString out;
    bool first = true;
    const auto field = [&out, &first](const QString& text) {
        if (!first)
            out += QLatin1Char(',');
        first = false;
        appendField(out, text);
    };
    const auto endRecord = [&out, &first] {
        out += QLatin1String("\r\n");
        first = true;
    };
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const QString name = model.headerData(columns[i], Qt::Horizontal).toString();
        field(name);
        if (durations[i])
            field(tr("%1 in seconds").arg(name));
    }
    endRecord();

    // Depth first: a row, then its children, where they are shown.
    std::vector<std::pair<QModelIndex, int>> stack{{QModelIndex(), 0}};
    while (!stack.empty()) {
        auto& [parent, row] = stack.back();
        if (row >= model.rowCount(parent)) {
            stack.pop_back();
            continue;
        }
        const QModelIndex at = model.index(row++, 0, parent);
        for (qsizetype i = 0; i < columns.size(); ++i) {
            const QModelIndex cell = at.siblingAtColumn(columns[i]);
            const QVariant raw = cell.data(RawRole);
            if (durations[i]) {
                const auto [hms, seconds] = durationTexts(raw);
                field(raw.isValid() ? hms : cell.data().toString());
                field(seconds);
            } else {
                field(raw.isValid() ? rawText(raw) : cell.data().toString());
            }
        }
        endRecord();
        if (expanded && model.hasChildren(at) && expanded(at))
            stack.emplace_back(at, 0);
    }
    return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

QString CsvExport::write(const QAbstractItemModel& model, const QList<int>& columns,
                         const QString& path, const Expanded& expanded)
{
    const QByteArray bytes = csv(model, columns, expanded);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return openFailure(path, file.errorString());
    // Flushed here: a write that fails as commit() flushes goes unnoticed by QSaveFile in Qt 6.4,
    // which then puts the cut file in place.
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        // The system's words ("No space left on device"): Qt 6.4 says "Unknown error" for a
        // write the disk took only part of.
        const int code = errno;
        const QString reason =
            code != 0 ? QString::fromLocal8Bit(std::strerror(code)) : file.errorString();
        file.cancelWriting();
        return tr("The export could not be written to %1: %2").arg(shown(path), reason);
    }
    if (!file.commit())
        return tr("The export could not be written to %1: %2").arg(shown(path), file.errorString());
    return {};
}

QString CsvExport::tabSeparated(const QAbstractItemModel& model, QModelIndexList rows,
                                const QList<int>& columns)
{
    // Where a row stands in the view: its ancestors' rows, then its own.
    const auto place = [](QModelIndex index) {
        QList<int> rowsAbove;
        for (; index.isValid(); index = index.parent())
            rowsAbove.prepend(index.row());
        return rowsAbove;
    };
    QList<std::pair<QList<int>, QModelIndex>> ordered;
    for (const QModelIndex& index : rows)
        if (index.isValid() && index.model() == &model)
            ordered.push_back({place(index), index.siblingAtColumn(0)});
    std::sort(ordered.begin(), ordered.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    ordered.erase(std::unique(ordered.begin(), ordered.end(),
                              [](const auto& a, const auto& b) { return a.first == b.first; }),
                  ordered.end());

    QString out;
    for (const auto& [where, row] : ordered) {
        QStringList fields;
        for (const int column : columns) {
            const QString text = row.siblingAtColumn(column).data().toString();
            QString field = needsGuard(text) ? QLatin1Char('\'') + text : text;
            for (QChar& c : field)
                if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
                    c = QLatin1Char(' ');
            fields << field;
        }
        out += fields.join(QLatin1Char('\t'));
        out += QLatin1Char('\n');
    }
    return out;
}
