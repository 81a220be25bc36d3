#pragma once

#include "ListedEntries.h"
#include "SessionReport.h"
#include "Wire.h"

#include <QObject>

#include <string_view>

namespace corvale {

class ManagerClient;
struct Answer;

// How a session lists the calls: which action lists them, the entries of snapshot mode as they
// come, and what a refused listing means. It outlasts the connections, as a fallback to Status
// holds for the rest of the session.
class SessionListing : public QObject
{
    Q_OBJECT

public:
    explicit SessionListing(QObject* parent = nullptr);

    void setCoreShowChannels(bool on) { bCoreShowChannels = on; }
    // Whether a client may list with CoreShowChannels: as set, unless it was refused.
    bool mayUseCoreShowChannels() const { return bCoreShowChannels && !bStatusListing; }
    // Whether `client` lists with it: only live mode does, and only on a current PBX.
    bool coreShowChannels(const ManagerClient& client, bool live) const;

    // Snapshot mode.
    const ListedEntries& entries() const { return listed; }
    void clear();
    void add(std::string_view entry, const EntryParts& parts);
    void complete() { listed.complete(); }

    // A listing is asked for: its refusal may be said again.
    void asked() { bRefusalShown = false; }
    // The answer to a listing that `client` sent. True when it asked again, with Status, which
    // still stands for the first listing.
    bool answered(const Answer& answer, ManagerClient& client, bool live);

signals:
    void cleared();
    void entryListed(std::string_view entry, const corvale::EntryParts& parts);
    // The manager user may not list the calls.
    void refused(const corvale::SessionReport& report);

private:
    ListedEntries listed;
    bool bCoreShowChannels = false;
    bool bStatusListing = false; // CoreShowChannels was refused: Status from then on
    bool bRefusalShown = false;
};

} // namespace corvale
