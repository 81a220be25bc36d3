#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QModelIndex>
#include <QString>

#include <functional>

class QAbstractItemModel;
class QHeaderView;

// What a view shows, for a spreadsheet: a CSV file of a model's rows as filtered and sorted, and
// the selected rows as tab-separated text for the clipboard.
//
// Any model will do; one that offers more is exported more exactly:
//  - data(RawRole): a cell's raw value, written instead of its text: a QDateTime as ISO 8601
//    with its offset from UTC, a number in digits, text as it is. Without it, the display text.
//  - headerData(section, Qt::Horizontal, DurationColumnRole) true: the column's raw values are
//    seconds (below 0: unknown). It is written as two columns, h:mm:ss and the whole seconds.
// The console's models' SortRole is RawRole.
//
// A field a spreadsheet would take for a formula (a caller can choose to be called
// "=HYPERLINK(...)") is written with an apostrophe in front, which spreadsheets take as "this is
// text" and do not show.
class CsvExport
{
    Q_DECLARE_TR_FUNCTIONS(CsvExport)

public:
    static constexpr int RawRole = Qt::UserRole + 1;
    static constexpr int DurationColumnRole = Qt::UserRole + 64;

    // The columns a view shows, in the order it shows them.
    static QList<int> visibleColumns(const QHeaderView& header);

    // Whether a row's children are exported, after it (a tree view's expanded rows).
    using Expanded = std::function<bool(const QModelIndex& row)>;

    // The model's top-level rows in its order, each followed by its children where `expanded`
    // says so, these columns (logical numbers) in this order, after a header row: RFC 4180
    // (commas, CR LF, quotes where needed), UTF-8 after a byte order mark, without which a
    // spreadsheet on Windows reads the file in its code page.
    static QByteArray csv(const QAbstractItemModel& model, const QList<int>& columns,
                          const Expanded& expanded = {});
    // The same into the file at `path`, whole or not at all: nothing is left where it cannot be
    // written, and a file already there stays as it was. Returns the message for the operator,
    // empty when written.
    static QString write(const QAbstractItemModel& model, const QList<int>& columns,
                         const QString& path, const Expanded& expanded = {});

    // These rows (any cells of them, from a selection) in the model's order, a line each, their
    // shown texts separated by tabs. Tabs and line breaks in a text become spaces, and the
    // formula guard applies, since the clipboard goes into spreadsheets too.
    static QString tabSeparated(const QAbstractItemModel& model, QModelIndexList rows,
                                const QList<int>& columns);

    // The field as a spreadsheet must take it: as text where it starts with what starts a
    // formula (=, +, -, @) or with a tab or carriage return, which some strip before looking.
    static QString guarded(const QString& field);
    static bool needsGuard(const QString& field);
};
