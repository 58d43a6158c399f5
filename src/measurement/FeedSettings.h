// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace k12 {

// Where a run's rows are published live (section [Feed] of the settings). Plain texts as the
// settings file holds them; src/feed checks and uses them.
struct FeedSettings {
    // mqtt://host[:port] or mqtts://host[:port]; empty: no feed.
    QString Broker;
    // Empty: k12inc/<host name>.
    QString Topic;
    // Empty: made from the host name and the process id.
    QString ClientId;
    QString Username;
    // The password is the first line of this file, which only its owner may read: passwords
    // never sit in the settings file.
    QString PasswordFile;
    // mqtts: the broker's certificate is verified against this file, or the system's store.
    QString CaFile;

    bool On() const { return !Broker.trimmed().isEmpty(); }
    bool operator==(const FeedSettings&) const = default;
};

} // namespace k12
