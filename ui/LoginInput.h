#pragma once

#include <QString>

#include <algorithm>
#include <optional>

// What the login fields must hold before anything is sent.

// A user name or password goes out on one header line.
inline bool isSendableLogin(const QString& text)
{
    return std::none_of(text.cbegin(), text.cend(),
                        [](QChar c) { return c == u'\r' || c == u'\n' || c == u'\0'; });
}

inline std::optional<int> readPort(const QString& text)
{
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    int port = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        port = port * 10 + (c.unicode() - u'0');
    }
    if (port < 1 || port > 65535)
        return std::nullopt;
    return port;
}
