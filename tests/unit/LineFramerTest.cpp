#include "LineFramer.h"

#include "FixtureFile.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using corvale::LineFramer;

namespace {

class LineFramerTest : public ::testing::Test
{
protected:
    std::vector<std::string> lines;

    void feed(std::string_view chunk)
    {
        framer.feed(chunk, [this](std::string_view line) {
            lines.emplace_back(line);
            return true;
        });
    }

    LineFramer framer;
};

std::vector<std::string> framedInChunks(std::string_view bytes, std::mt19937& random,
                                        std::size_t maxChunk)
{
    LineFramer framer;
    std::vector<std::string> out;
    std::uniform_int_distribution<std::size_t> size(1, maxChunk);
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t n = std::min(size(random), bytes.size() - pos);
        framer.feed(bytes.substr(pos, n), [&](std::string_view line) {
            out.emplace_back(line);
            return true;
        });
        EXPECT_EQ(framer.buffer().find("\r\n"), std::string::npos);
        pos += n;
    }
    return out;
}

} // namespace

TEST_F(LineFramerTest, AnyChunkingYieldsTheSameLinesAsOneChunk)
{
    // A real conversation plus the awkward cases: lone CR and LF inside lines, empty lines, a
    // CR right before CR LF, and a line at the length limit.
    std::string bytes = fixture("09a_pipelined.recv.bin");
    bytes += "lone\rcr and lone\nlf\r\n\r\n\r\nends in cr\r\r\n";
    bytes += std::string(LineFramer::MaxLine, 'x') + "\r\n";
    bytes += "tail without end";

    feed(bytes);
    ASSERT_GT(lines.size(), 300u);
    EXPECT_EQ(framer.buffer(), "tail without end");

    std::mt19937 random(20261208);
    for (const std::size_t maxChunk : {1u, 2u, 3u, 7u, 64u, 1500u, 70000u}) {
        SCOPED_TRACE(maxChunk);
        for (int round = 0; round < (maxChunk < 4 ? 1 : 20); ++round)
            ASSERT_EQ(framedInChunks(bytes, random, maxChunk), lines);
    }
}

TEST_F(LineFramerTest, SplitLineEndsAndOrdinaryControlBytes)
{
    feed("Asterisk Call Manager/1.1\r");
    EXPECT_TRUE(lines.empty());
    feed("\none\rstill one\ntoo\r\ntwo\r\nthree\r\nfou");
    EXPECT_EQ(lines, (std::vector<std::string>{"Asterisk Call Manager/1.1", "one\rstill one\ntoo",
                                               "two", "three"}));
    EXPECT_EQ(framer.buffer(), "fou");
    feed("r\r\n\r\n");
    EXPECT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[4], "four");
    EXPECT_EQ(lines[5], "");
    EXPECT_TRUE(framer.buffer().empty());
}

TEST_F(LineFramerTest, LinesUpToTheLimitArriveWholeLongerOnesAreDropped)
{
    const std::string longest(LineFramer::MaxLine, 'a');
    feed(longest.substr(0, 1000));
    feed(longest.substr(1000) + "\r");
    feed("\n" + std::string(LineFramer::MaxLine + 1, 'b') + "\r\nafter\r\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], longest);
    EXPECT_EQ(lines[1], "after");
    EXPECT_EQ(framer.droppedLines(), 1u);
}

TEST_F(LineFramerTest, RunawayLineNeverGrowsTheBuffer)
{
    // 2 MiB without a line end, in 4 KiB chunks, its CR LF split over two chunks.
    const std::string chunk(4096, 'z');
    for (int i = 0; i < 512; ++i) {
        feed(chunk);
        ASSERT_LE(framer.buffer().size(), LineFramer::MaxLine + 1);
    }
    feed("zz\r");
    feed("\nEvent: Status\r\n");
    EXPECT_EQ(lines, (std::vector<std::string>{"Event: Status"}));
    EXPECT_EQ(framer.droppedLines(), 1u);
}

TEST_F(LineFramerTest, StoppingThrowsAwayTheRest)
{
    int seen = 0;
    const bool finished = framer.feed("a\r\nb\r\nc\r\nd", [&](std::string_view) {
        return ++seen < 2;
    });
    EXPECT_FALSE(finished);
    EXPECT_EQ(seen, 2);
}
