#include "SessionListing.h"

#include "DisplayText.h"
#include "ManagerClient.h"

namespace corvale {

SessionListing::SessionListing(QObject* parent)
    : QObject(parent)
{}

bool SessionListing::coreShowChannels(const ManagerClient& client, bool live) const
{
    return mayUseCoreShowChannels() && live && client.currentPbx();
}

void SessionListing::clear()
{
    listed.clear();
    emit cleared();
}

void SessionListing::add(std::string_view entry, const EntryParts& parts)
{
    listed.add(entry, parts);
    emit entryListed(entry, parts);
}

bool SessionListing::answered(const Answer& answer, ManagerClient& client, bool live)
{
    if (answer.succeeded()) {
        bRefusalShown = false;
        return false;
    }
    if (coreShowChannels(client, live)) {
        // CoreShowChannels needs the system or reporting class; a manager user with only the
        // call class may list with Status, and is asked at once, without a word.
        bStatusListing = true;
        client.useCoreShowChannels(false);
        client.sendStatus();
        return true;
    }
    // A manager user without the call class gets an error instead of a listing, and the list
    // would stay empty without a word. Live mode asks every few seconds: it says so once, until
    // a listing succeeds or the operator asks again.
    if (bRefusalShown)
        return false;
    bRefusalShown = true;
    SessionReport report = SessionReport::of(SessionReport::Kind::ListingRefused);
    report.reason = displayText(answer.message.empty() ? answer.response : answer.message);
    emit refused(report);
    return false;
}

} // namespace corvale
