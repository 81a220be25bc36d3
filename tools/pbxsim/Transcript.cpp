#include "Transcript.h"

namespace pbxsim {

Transcript::~Transcript()
{
    if (file != nullptr)
        std::fclose(file);
}

bool Transcript::open(const std::string& path)
{
    file = std::fopen(path.c_str(), "wb");
    return file != nullptr;
}

void Transcript::stamp(int connection)
{
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    char head[64];
    std::snprintf(head, sizeof head, "[t=%.3f #%d] ", elapsed.count(), connection);
    text = head;
}

void Transcript::note(int connection, std::string_view what)
{
    if (file == nullptr)
        return;
    stamp(connection);
    text += "-- ";
    text += what;
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
}

void Transcript::data(int connection, std::string_view marker, std::string_view bytes)
{
    if (file == nullptr)
        return;
    stamp(connection);
    text += marker;
    text += ' ';
    text += std::to_string(bytes.size());
    text += " bytes:\n";
    bool lineOpen = false;
    for (const char c : bytes) {
        if (!lineOpen) {
            text += marker;
            text += ' ';
            lineOpen = true;
        }
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\r':
            text += "\\r";
            break;
        case '\n':
            text += "\\n\n";
            lineOpen = false;
            break;
        case '\t':
            text += "\\t";
            break;
        case '\\':
            text += "\\\\";
            break;
        default:
            if (byte < 0x20 || byte >= 0x7f) {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02x", byte);
                text += hex;
            } else {
                text += c;
            }
        }
    }
    if (lineOpen)
        text += '\n';
    std::fwrite(text.data(), 1, text.size(), file);
    std::fflush(file);
}

} // namespace pbxsim
