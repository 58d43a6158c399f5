// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measurement/FeedSettings.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <variant>

namespace k12 {

// A broker as its URL names it.
struct BrokerAddress {
    bool tls = false; // mqtts
    QString host;
    int port = 0;
    bool operator==(const BrokerAddress&) const = default;
};

// mqtt://host[:port] (default 1883) or mqtts://host[:port] (default 8883); an IPv6 address in
// brackets. Nothing else: no user or password (they never sit in the settings), no path, query
// or fragment. Else the operator's message.
std::variant<BrokerAddress, QString> ParseBrokerUrl(const QString& url);

// Why the feed cannot run with these settings, as the operator's message: a malformed broker
// URL or topic, a password file without a user name, missing, unreadable or readable by its
// group or others, a CA file with mqtt://, or one that is missing, unreadable or holds no
// certificate. nullopt when the settings are sound or the feed is off (no broker).
std::optional<QString> FeedSettingsProblem(const FeedSettings& settings);

// The topic under which <Topic>/row, /status and /event are published: Topic, or
// k12inc/<host name>.
QString FeedTopic(const FeedSettings& settings);
// ClientId, or k12inc-<host name>-<process id>.
QString FeedClientId(const FeedSettings& settings);
// The password: the file's first line. Else the operator's message.
std::variant<QByteArray, QString> ReadPasswordFile(const QString& path);

} // namespace k12
