// The console's words for what a session reports: the particulars in their places, and words
// for every kind of report and cause.
#include "SessionTexts.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using corvale::ConnectionProblem;
using corvale::SessionReport;
using Kind = SessionReport::Kind;
using Cause = ConnectionProblem::Cause;

class tst_sessionTexts : public QObject
{
    Q_OBJECT

private slots:
    void theParticularsAreInTheirPlaces();
    void everyReportAndCauseHasWords();
    void aHangupsReasonIsShortAndOnlyForAFailure();
};

void tst_sessionTexts::theParticularsAreInTheirPlaces()
{
    const auto failed = [](Cause cause, std::chrono::milliseconds wait = {}) {
        return SessionReport::connectionFailed(ConnectionProblem::of(cause, wait),
                                               u"pbx.example.org"_s, 5038);
    };
    SessionReport wrongHost = failed(Cause::Tls);
    wrongHost.problem.tls = corvale::SocketAdapter::TlsProblem::WrongHost;
    SessionReport ended = SessionReport::of(Kind::HangupDone);
    ended.channel = "SIP/zo\xc3\xab-1";
    SessionReport refused = SessionReport::of(Kind::HangupFailed);
    refused.channel = "SIP/1";
    refused.reason = u"No such channel"_s;
    const std::pair<SessionReport, QString> cases[] = {
        {failed(Cause::Refused),
         u"Could not connect to pbx.example.org:5038: the connection was refused"_s},
        {failed(Cause::NoLoginAnswer, 10000ms),
         u"Could not connect to pbx.example.org:5038: no answer to the login within 10 s"_s},
        {failed(Cause::ShutDown),
         u"Lost the connection to pbx.example.org:5038: the PBX shut down"_s},
        {wrongHost, u"The PBX's certificate is for another host name, not for pbx.example.org. "
                    u"Nothing was sent."_s},
        {ended, u"Ended the call on SIP/zoë-1."_s},
        {refused, u"The call on SIP/1 could not be ended: No such channel"_s},
    };
    for (const auto& [report, words] : cases)
        QCOMPARE(SessionTexts::message(report), words);
}

void tst_sessionTexts::everyReportAndCauseHasWords()
{
    for (int kind = 0; kind <= static_cast<int>(Kind::HangupSessionEnded); ++kind) {
        SessionReport report = SessionReport::of(static_cast<Kind>(kind));
        report.channel = "SIP/1";
        QVERIFY2(!SessionTexts::message(report).isEmpty(), qPrintable(QString::number(kind)));
    }
    for (int cause = 0; cause <= static_cast<int>(Cause::Tls); ++cause) {
        if (static_cast<Cause>(cause) != Cause::SocketError)
            QVERIFY2(
                !SessionTexts::cause(ConnectionProblem::of(static_cast<Cause>(cause))).isEmpty(),
                qPrintable(QString::number(cause)));
    }
}

// The reason goes after the channel in a list of those that failed: the PBX's own words when it
// refused, none for a hangup that did what was asked.
void tst_sessionTexts::aHangupsReasonIsShortAndOnlyForAFailure()
{
    for (int kind = static_cast<int>(Kind::HangupDone);
         kind <= static_cast<int>(Kind::HangupSessionEnded); ++kind) {
        SessionReport outcome = SessionReport::of(static_cast<Kind>(kind));
        outcome.channel = "SIP/1";
        outcome.reason = u"Permission denied"_s;
        const QString reason = SessionTexts::hangupReason(outcome);
        const QString where = QString::number(kind) + u": "_s + reason;
        QVERIFY2(reason.isEmpty() == outcome.hangupSucceeded(), qPrintable(where));
        QVERIFY2(!reason.contains(u"SIP/1"_s) && !reason.endsWith(u'.'), qPrintable(where));
        if (outcome.kind == Kind::HangupFailed)
            QCOMPARE(reason, outcome.reason);
    }
}

QTEST_MAIN(tst_sessionTexts)
#include "tst_sessionTexts.moc"
