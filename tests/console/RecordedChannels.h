#pragma once

#include "LiveCalls.h"

#include <QFile>
#include <QtTest>

#include <map>
#include <string>
#include <vector>

// The channels of a recorded CoreShowChannels listing of a real PBX (tests/fixtures/pbx), each
// record's fields by key, in the order the PBX listed them.
using RecordedChannel = std::map<std::string, std::string>;

inline std::vector<RecordedChannel> recordedChannels(const char* recording)
{
    QFile file(QStringLiteral(CORVALE_FIXTURES_DIR "/%1.recv.bin").arg(QLatin1String(recording)));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing recording %s", recording);
    const std::string bytes = file.readAll().toStdString();
    std::vector<RecordedChannel> channels;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t end = std::min(bytes.find("\r\n\r\n", at), bytes.size());
        const std::string block = bytes.substr(at, end - at) + "\r\n";
        at = end + 4;
        if (!block.starts_with("Event: CoreShowChannel\r\n"))
            continue;
        RecordedChannel fields;
        for (std::size_t line = 0; line < block.size();) {
            const std::size_t stop = block.find("\r\n", line);
            const std::size_t colon = block.find(": ", line);
            if (colon < stop)
                fields.emplace(block.substr(line, colon - line),
                               block.substr(colon + 2, stop - colon - 2));
            line = stop + 2;
        }
        channels.push_back(std::move(fields));
    }
    return channels;
}

// A complete listing of these channels, as the client makes one of their records.
inline void listChannels(corvale::LiveCalls& calls, const std::vector<RecordedChannel>& channels)
{
    const auto field = [](const RecordedChannel& channel, const char* key) -> std::string_view {
        const auto it = channel.find(key);
        return it == channel.end() ? std::string_view() : std::string_view(it->second);
    };
    calls.listingStarted();
    for (const RecordedChannel& channel : channels) {
        corvale::CallFields fields;
        fields.number = field(channel, "CallerIDNum");
        fields.name = field(channel, "CallerIDName");
        fields.extension = field(channel, "Exten");
        fields.linkedid = field(channel, "Linkedid");
        fields.bridgeId = field(channel, "BridgeId");
        fields.state = field(channel, "ChannelStateDesc");
        fields.application = field(channel, "Application");
        const std::string duration(field(channel, "Duration")); // HH:MM:SS
        const int seconds = duration.size() == 8 ? std::stoi(duration.substr(0, 2)) * 3600 +
                                                       std::stoi(duration.substr(3, 2)) * 60 +
                                                       std::stoi(duration.substr(6, 2))
                                                 : 0;
        calls.listedCall(field(channel, "Channel"), fields, std::to_string(seconds),
                         field(channel, "Uniqueid"));
    }
    calls.listingComplete(true);
}
