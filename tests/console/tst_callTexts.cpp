#include "CallPresentation.h"
#include "Conversations.h"
#include "FilterFolding.h"
#include "RecordedChannels.h"

#include <QtTest>

#include <algorithm>

// What an operator reads of a call, and what the filter compares: the rules alone, over real
// PBXs' listings.
class tst_callTexts : public QObject
{
    Q_OBJECT

private slots:
    void callerAndOtherPartyWhateverTheListingsOrder_data();
    void callerAndOtherPartyWhateverTheListingsOrder();
    void foldingAsAnOperatorTypes_data();
    void foldingAsAnOperatorTypes();
};

namespace {

RecordedChannel channel(const char* name, const char* number, const char* callerName,
                        const char* uniqueid, const char* linkedid, const char* bridge)
{
    return {{"Channel", name},      {"CallerIDNum", number}, {"CallerIDName", callerName},
            {"Uniqueid", uniqueid}, {"Linkedid", linkedid},  {"BridgeId", bridge},
            {"Exten", "100"},       {"Duration", "00:00:07"}};
}

} // namespace

void tst_callTexts::callerAndOtherPartyWhateverTheListingsOrder_data()
{
    QTest::addColumn<std::vector<RecordedChannel>>("channels");
    // Each conversation as "From / To".
    QTest::addColumn<QStringList>("calls");
    // Originated pairs: the ;1 half in context agents starts the call, a desk answers behind a
    // second Local channel.
    QTest::newRow("19: bridged through two Local channels")
        << recordedChannels("19_status_bridged")
        << QStringList{"8004001 <Agent 4001> / 7004001 <Desk 4001>",
                       "8004002 <Agent 4002> / 7004002 <Desk 4002>"};
    // The first half of a queue caller's Local channel knows no caller: its other half does.
    QTest::newRow("23: queue callers waiting")
        << recordedChannels("23_queue_status")
        << QStringList{"5565001 <Waiting 5001> / 5001", "5565002 <Waiting 5002> / 5002",
                       "5565501 <Waiting 5501> / 5501"};
    QTest::newRow("26: originated pairs, listed in either order")
        << recordedChannels("26_status_empty_line_in_name")
        << QStringList{"800112 <Agent 112> / 112", "800113 <Agent 113> / 113",
                       "8002001 <Agent 2001> / 2001"};
    // Two callers bridged after a transfer: each started a call of its own; the older is From,
    // and the sequence numbers compare as numbers (9 before 10).
    QTest::newRow("two callers bridged")
        << std::vector<RecordedChannel>{channel("PJSIP/5552001-0000000a", "5552001", "Carol",
                                                "1700000000.10", "1700000000.10", "B1"),
                                        channel("PJSIP/5552002-00000009", "5552002", "Dan",
                                                "1700000000.9", "1700000000.9", "B1")}
        << QStringList{"5552002 <Dan> / 5552001 <Carol>"};
    // No Linkedid (a PBX before 1.8): the oldest Uniqueid; its seconds before the sequence.
    QTest::newRow("no linked id") << std::vector<RecordedChannel>{channel("SIP/2001-02", "2001",
                                                                          "Desk", "1699999999.99",
                                                                          "", "B2"),
                                                                  channel("SIP/5552001-01",
                                                                          "5552001", "Carol",
                                                                          "1700000000.1", "", "B2")}
                                  << QStringList{"2001 <Desk> / 5552001 <Carol>"};
}

void tst_callTexts::callerAndOtherPartyWhateverTheListingsOrder()
{
    QFETCH(std::vector<RecordedChannel>, channels);
    QFETCH(QStringList, calls);
    for (const bool reversed : {false, true}) {
        corvale::LiveCalls live{std::locale::classic()};
        corvale::Conversations conversations{live};
        if (reversed)
            std::reverse(channels.begin(), channels.end());
        listChannels(live, channels);
        conversations.flush();
        QStringList shown;
        for (std::size_t row = 0; row < conversations.size(); ++row)
            shown << CallPresentation::fromText(conversations.at(row)) + QStringLiteral(" / ") +
                         CallPresentation::toText(conversations.at(row));
        shown.sort();
        QCOMPARE(shown, calls);
    }
}

void tst_callTexts::foldingAsAnOperatorTypes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("folded");
    QTest::newRow("accents and case")
        << u"Zo\u00eb M\u00dcLLER \u00c5se"_qs << u"zoe muller ase"_qs;
    QTest::newRow("letters without a decomposition")
        << u"S\u00f8ren \u0141ukasz \u0110or\u0111e Wei\u00df"_qs << u"soren lukasz dorde weiss"_qs;
    QTest::newRow("ligatures and thorn")
        << u"\u00c6r\u00f8 C\u0153ur \u00de\u00f3ra"_qs << u"aero coeur thora"_qs;
    QTest::newRow("another script") << u"\u041c\u0430\u0448\u0430"_qs << u"masa"_qs;
    QTest::newRow("a channel, as it is")
        << u"PJSIP/2001-0000000A\n<unknown>"_qs << u"pjsip/2001-0000000a\n<unknown>"_qs;
}

void tst_callTexts::foldingAsAnOperatorTypes()
{
    QFETCH(QString, text);
    QFETCH(QString, folded);
    QCOMPARE(foldForFilter(text), folded);
}

QTEST_MAIN(tst_callTexts)
#include "tst_callTexts.moc"
