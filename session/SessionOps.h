#pragma once

#include "Session.h"
#include "WindowOps.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace corvale {

// The manager client's window. Each client has its own: once a connection is given up, what its
// client still does (it may be inside a line when the link goes) reaches nobody.
class Session::Ops : public WindowOps
{
public:
    Ops(Session& owner, std::uint64_t connection)
        : session(owner)
        , generation(connection)
    {}

    std::string userName() const override
    {
        return current() && session.userName ? session.userName() : std::string();
    }
    std::string password() const override
    {
        return current() && session.password ? session.password() : std::string();
    }
    std::string challengeKey(std::string_view challenge) const override;
    std::size_t callCount() const override { return session.listing.entries().count(); }
    void addCall(std::string_view entry, const EntryParts& parts) override
    {
        if (current())
            session.listing.add(entry, parts);
    }
    void showMessage(std::string_view text) override
    {
        if (current())
            session.showMessage(text);
    }
    void endProgram() override
    {
        if (current())
            session.endProgram();
    }
    void send(std::string_view bytes) override
    {
        if (current())
            session.send(bytes);
    }
    void actionAnswered(const Answer& answer) override
    {
        if (current())
            session.actionAnswered(answer);
    }
    void listingComplete() override
    {
        if (current())
            session.listingComplete();
    }
    void shutdownAnnounced() override
    {
        if (current())
            session.shutdownAnnounced();
    }

private:
    bool current() const { return generation == session.nGeneration; }

    Session& session;
    std::uint64_t generation;
};

} // namespace corvale
