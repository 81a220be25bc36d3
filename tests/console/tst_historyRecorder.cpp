#include "ConsoleCalls.h"
#include "HistoryModel.h"
#include "HistoryRecorder.h"
#include "QueueFields.h"

#include <QtTest>

#include <functional>

// How the console's calls end up in the history: the entries of calls that end, what the queues
// and the operator's hangups add to them, and the calls that must not be taken as ended.
class tst_historyRecorder : public QObject
{
    Q_OBJECT

private slots:
    void callsThatEnd_data();
    void callsThatEnd();
};

namespace {

// The console's calls on the PBX "hq" (key 0), the recorder following them, and a wall clock.
struct Recorded : ConsoleCalls
{
    HistoryRecorder recorder{
        sources, [] {
            return corvale::WallTime{std::chrono::system_clock::time_point{}, 3600};
        }};
    corvale::History& history = recorder.history();

    Recorded()
    {
        sources.setName(0, QStringLiteral("hq"));
        recorder.watch(0, calls);
    }
    void later(int seconds) { clock += std::chrono::seconds(seconds); }
    void hangUp(const std::string& channel, int cause, const std::string& words = "")
    {
        calls.hungUp(channel, cause, words);
    }
    // Alice (100) talking to agent 200, the caller's channel first; "A" is the call's tag.
    void talk(const std::string& tag = "A") { call(tag, "100", "Alice", "200"); }
    static std::string caller(const std::string& tag = "A") { return "PJSIP/100-" + tag; }
    static std::string agent(const std::string& tag = "A") { return "PJSIP/200-" + tag; }
    // The caller waiting in a queue alone, as a queue's caller does.
    void wait() { add({caller(), "100", "Alice", "600", "LA", ""}); }
    Target target(const std::string& channel) const { return {0, channel}; }
};

using Script = std::function<void(Recorded&)>;

} // namespace

Q_DECLARE_METATYPE(Script)

void tst_historyRecorder::callsThatEnd_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<int>("count");         // entries written
    QTest::addColumn<QString>("howEnded");  // the last one's, in words
    QTest::addColumn<qlonglong>("seconds"); // and how long it lasted; -1 for unknown
    QTest::addColumn<QString>("to");

    QTest::newRow("both hang up: the caller's cause") << Script([](Recorded& r) {
        r.talk();
        r.later(65);
        r.hangUp(r.agent(), 21, "Call Rejected");
        r.later(2);
        r.hangUp(r.caller(), 17, "User busy");
    }) << 1 << "busy" << 67LL << "200 <Agent 200>";
    QTest::newRow("the caller gives none: another's") << Script([](Recorded& r) {
        r.talk();
        r.later(5);
        r.hangUp(r.agent(), 16, "Normal Clearing");
        r.calls.hungUp(r.caller());
    }) << 1 << "ended normally" << 5LL << "200 <Agent 200>";
    QTest::newRow("one channel of two goes: not yet ended") << Script([](Recorded& r) {
        r.talk();
        r.hangUp(r.agent(), 16);
    }) << 0 << "" << 0LL << "";
    QTest::newRow("two calls, one ends") << Script([](Recorded& r) {
        r.talk("A");
        r.later(3);
        r.call("B", "300", "Bob", "201");
        r.later(4);
        r.hangUp(r.caller("A"), 16);
        r.hangUp(r.agent("A"), 16);
    }) << 1 << "ended normally" << 7LL << "200 <Agent 200>";
    QTest::newRow("abandoned in a queue") << Script([](Recorded& r) {
        r.wait();
        r.later(42);
        const std::string channel = r.caller(); // the note's fields are views of the PBX's text
        corvale::AbandonedCaller gave;
        gave.queue = "sales";
        gave.channel = channel;
        gave.position = 2;
        gave.holdTime = 42;
        r.recorder.noteAbandoned(0, gave);
        r.hangUp(r.caller(), 16);
    }) << 1 << "abandoned in sales after 0:42 at position 2"
                                          << 42LL << "600";
    QTest::newRow("answered, named by Uniqueid alone") << Script([](Recorded& r) {
        r.wait();
        r.later(18);
        r.add({r.agent(), "200", "Agent 200", "", "LA", "BA"});
        r.bridge(r.caller(), "BA");
        corvale::AnsweredCaller call;
        call.queue = "sales";
        call.uniqueid = "1700000000.1";
        call.memberName = "Anna Agent";
        call.holdTime = 18;
        r.recorder.noteAnswered(0, call);
        r.later(100);
        r.hangUp(r.agent(), 16);
        r.hangUp(r.caller(), 16);
    }) << 1 << "answered by Anna Agent after 0:18" << 118LL
                                                       << "200 <Agent 200>";
    QTest::newRow("ended here, answered before the end") << Script([](Recorded& r) {
        r.talk();
        r.recorder.hangupsRequested({r.target(r.agent())});
        r.recorder.hangupFinished(r.target(r.agent()), true);
        r.hangUp(r.agent(), 16);
        r.hangUp(r.caller(), 16);
    }) << 1 << "ended from this console" << 0LL << "200 <Agent 200>";
    QTest::newRow("ended here, answered after the end") << Script([](Recorded& r) {
        r.talk();
        r.recorder.hangupsRequested({r.target(r.caller()), r.target(r.agent())});
        r.hangUp(r.caller(), 16);
        r.hangUp(r.agent(), 16);
        QCOMPARE(r.history.size(), 0u); // held for the answers
        r.recorder.hangupFinished(r.target(r.caller()), true);
        QCOMPARE(r.history.size(), 0u);
        r.recorder.hangupFinished(r.target(r.agent()), true);
    }) << 1 << "ended from this console" << 0LL << "200 <Agent 200>";
    QTest::newRow("a hangup that failed") << Script([](Recorded& r) {
        r.talk();
        r.recorder.hangupsRequested({r.target(r.agent())});
        r.hangUp(r.agent(), 16);
        r.hangUp(r.caller(), 16);
        r.recorder.hangupFinished(r.target(r.agent()), false);
    }) << 1 << "ended normally" << 0LL << "200 <Agent 200>";
    QTest::newRow("a listing no longer names them") << Script([](Recorded& r) {
        r.talk();
        r.calls.listingStarted();
        r.calls.listingComplete(true);
        QCOMPARE(r.calls.size(), 0u);
    }) << 0 << "" << 0LL << "";
    QTest::newRow("one hung up, a listing drops the other") << Script([](Recorded& r) {
        r.talk();
        r.hangUp(r.agent(), 16);
        r.calls.listingStarted();
        r.calls.listingComplete(true);
    }) << 0 << "" << 0LL << "";
    QTest::newRow("the PBX taken off the view") << Script([](Recorded& r) {
        r.talk();
        r.recorder.hangupsRequested({r.target(r.agent())});
        r.recorder.forget(0);
        r.sources.remove(0);
        r.hangUp(r.agent(), 16);
        r.hangUp(r.caller(), 16);
    }) << 0 << "" << 0LL << "";
    QTest::newRow("held for an answer when the PBX goes: written without it")
        << Script([](Recorded& r) {
               r.talk();
               r.recorder.hangupsRequested({r.target(r.agent())});
               r.hangUp(r.agent(), 16);
               r.hangUp(r.caller(), 16);
               r.recorder.forget(0);
           })
        << 1 << "ended normally" << 0LL << "200 <Agent 200>";
}

void tst_historyRecorder::callsThatEnd()
{
    QFETCH(Script, script);
    QFETCH(int, count);
    Recorded r;
    script(r);
    QCOMPARE(r.history.size(), static_cast<std::size_t>(count));
    if (count == 0)
        return;
    const corvale::HistoryEntry& entry = r.history.at(r.history.size() - 1);
    QTEST(HistoryModel::endingText(entry), "howEnded");
    QTEST(static_cast<qlonglong>(entry.seconds.value_or(-1)), "seconds");
    QCOMPARE(HistoryModel::partyText(entry.fromNumber, entry.fromName),
             QStringLiteral("100 <Alice>"));
    QTEST(HistoryModel::partyText(entry.toNumber, entry.toName), "to");
    QCOMPARE(entry.pbx, std::string("hq"));
}

QTEST_MAIN(tst_historyRecorder)
#include "tst_historyRecorder.moc"
