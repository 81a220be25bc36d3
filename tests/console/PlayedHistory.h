#pragma once

#include "History.h"
#include "HistoryFilterModel.h"
#include "HistoryModel.h"

#include <QAbstractItemModelTester>

#include <chrono>
#include <string>

// A history on a clock of the test's own (13:03:22 UTC on 10 December 2026, an hour east of
// UTC), its model and its filter, folded as plainly as a filter needs.
struct PlayedHistory
{
    std::chrono::system_clock::time_point clock =
        std::chrono::sys_days{std::chrono::year{2026} / 12 / 10} +
        std::chrono::seconds(13 * 3600 + 3 * 60 + 22);
    corvale::History history{[this] { return corvale::WallTime{clock, 3600}; }};
    static QString fold(const QString& text) { return text.toCaseFolded(); }
    HistoryModel model{history, &fold};
    HistoryFilterModel proxy{&fold};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};

    PlayedHistory() { proxy.setSourceModel(&model); }

    // A call from `name` (and `number`) to 2001 on hq that lasted `seconds` and ended normally.
    void add(const std::string& name, std::int64_t seconds = 65, const std::string& number = "",
             corvale::HistoryEntry entry = {})
    {
        entry.fromNumber = number;
        entry.fromName = name;
        entry.toNumber = "2001";
        entry.pbx = entry.pbx.empty() ? "hq" : entry.pbx;
        entry.seconds = seconds;
        entry.cause = entry.cause == 0 ? 16 : entry.cause;
        history.add(entry);
    }
};
