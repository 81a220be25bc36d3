#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

namespace pbxsim {

// Every byte that crosses any connection, written readably: one entry per read or write, each
// line with its line end made visible, "C>" for what a client sent and "S<" for what the
// simulator sent.
class Transcript
{
public:
    Transcript() = default;
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    bool open(const std::string& path);
    bool isOpen() const { return file != nullptr; }

    void received(int connection, std::string_view bytes) { data(connection, "C>", bytes); }
    void sent(int connection, std::string_view bytes) { data(connection, "S<", bytes); }
    void note(int connection, std::string_view text);

private:
    void data(int connection, std::string_view marker, std::string_view bytes);
    void stamp(int connection);

    std::FILE* file = nullptr;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::string text; // reused to format each entry
};

} // namespace pbxsim
