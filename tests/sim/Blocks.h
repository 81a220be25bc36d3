#pragma once

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

// Manager text cut into blocks (ended by an empty line) of lines, for comparing answers.
namespace simtest {

using Block = std::vector<std::string>;

inline std::vector<Block> splitBlocks(std::string_view text)
{
    std::vector<Block> blocks;
    Block current;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        if (line.empty()) {
            blocks.push_back(std::move(current));
            current.clear();
        } else {
            current.emplace_back(line);
        }
        pos = end + 2;
    }
    if (!current.empty())
        blocks.push_back(std::move(current)); // unterminated: kept so a test can see it
    return blocks;
}

inline std::string keyOf(std::string_view line)
{
    return std::string(line.substr(0, line.find(": ")));
}

inline std::string valueOf(std::string_view line)
{
    const std::size_t colon = line.find(": ");
    return colon == std::string_view::npos ? std::string() : std::string(line.substr(colon + 2));
}

// Each block's keys, in order.
inline std::vector<std::vector<std::string>> shapeOf(std::string_view text)
{
    std::vector<std::vector<std::string>> shape;
    for (const Block& block : splitBlocks(text)) {
        std::vector<std::string> keys;
        for (const std::string& line : block)
            keys.push_back(keyOf(line));
        shape.push_back(std::move(keys));
    }
    return shape;
}

// The value of `key` in a block, or "(none)".
inline std::string field(const Block& block, std::string_view key)
{
    for (const std::string& line : block) {
        if (keyOf(line) == key)
            return valueOf(line);
    }
    return "(none)";
}

inline std::size_t countEvents(std::string_view text, std::string_view event)
{
    std::size_t n = 0;
    for (const Block& block : splitBlocks(text))
        n += !block.empty() && block.front() == "Event: " + std::string(event) ? 1 : 0;
    return n;
}

#ifdef CORVALE_FIXTURES_DIR
// The bytes of a file in tests/fixtures/pbx, "19_status_bridged.recv.bin" for one.
inline std::string fixture(const std::string& name)
{
    std::ifstream in(std::string(CORVALE_FIXTURES_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
#endif

// "Event Queue Max" as {"Event", "Queue", "Max"}: a block's keys, written as they read.
inline std::vector<std::string> words(std::string_view text)
{
    std::vector<std::string> all;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t end = std::min(text.find(' ', pos), text.size());
        all.emplace_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return all;
}

// The blocks of `text` that begin with `first`, e.g. "Event: CoreShowChannel".
inline std::vector<Block> blocksStarting(std::string_view text, std::string_view first)
{
    std::vector<Block> found;
    for (Block& block : splitBlocks(text)) {
        if (!block.empty() && block.front() == first)
            found.push_back(std::move(block));
    }
    return found;
}

// Each block's event name, in order.
inline std::vector<std::string> eventNames(std::string_view text)
{
    std::vector<std::string> names;
    for (const Block& block : splitBlocks(text)) {
        if (!block.empty() && keyOf(block.front()) == "Event")
            names.push_back(valueOf(block.front()));
    }
    return names;
}

// The answers in a received conversation, each from its Response block to the block that
// completes its list when it is one ("... will follow"); events between them are left out.
inline std::vector<std::string> answersIn(std::string_view bytes)
{
    std::vector<std::string> answers;
    bool inList = false;
    const std::size_t greeting =
        bytes.rfind("Asterisk Call Manager/", 0) == 0 ? bytes.find("\r\n") : 0;
    for (std::size_t pos = greeting == 0 ? 0 : greeting + 2; pos < bytes.size();) {
        const std::size_t end = std::min(bytes.find("\r\n\r\n", pos), bytes.size() - 4) + 4;
        const std::string_view block = bytes.substr(pos, end - pos);
        pos = end;
        if (block.rfind("Response: ", 0) == 0) {
            answers.emplace_back(block);
            inList = block.find(" will follow\r\n") != std::string_view::npos;
        } else if (inList) {
            answers.back() += block;
            const std::string_view first = block.substr(0, block.find("\r\n"));
            inList = first.size() < 8 || first.substr(first.size() - 8) != "Complete";
        }
    }
    return answers;
}

} // namespace simtest
