#pragma once

#include "ManagerClient.h"

#include <string>
#include <vector>

// Records everything the client asks of its window.
class FakeWindow : public corvale::WindowOps
{
public:
    std::string user = "admin";
    std::string secret;
    std::vector<std::string> calls;
    std::vector<std::string> messages;
    std::vector<std::string> sent;
    std::vector<corvale::Answer> answers;
    int ends = 0;
    int shutdowns = 0;

    std::string userName() const override { return user; }
    std::string password() const override { return secret; }
    std::size_t callCount() const override { return calls.size(); }
    void addCall(std::string_view entry, const corvale::EntryParts&) override
    {
        calls.emplace_back(entry);
    }
    void showMessage(std::string_view text) override { messages.emplace_back(text); }
    void endProgram() override { ++ends; }
    void send(std::string_view bytes) override { sent.emplace_back(bytes); }
    void actionAnswered(const corvale::Answer& answer) override { answers.push_back(answer); }
    void shutdownAnnounced() override { ++shutdowns; }
};
