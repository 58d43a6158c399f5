// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A real mosquitto broker on a free loopback port with a configuration the test writes (never
// the system's broker), and a subscriber that records what it receives.

#include "FreePort.h"
#include "RunTool.h"

#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <arpa/inet.h>
#include <functional>
#include <mosquitto.h>
#include <mutex>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace k12::test {

inline void RunOk(const QString& program, const QStringList& args) {
    const ToolResult r = RunTool(program, args, {}, 30000);
    QVERIFY2(r.exitCode == 0, qPrintable(program + QLatin1Char(' ') + r.err));
}

class BrokerRig {
  public:
    enum class Kind { Plain, Password, Tls };
    static constexpr const char* kUser = "logger";
    static constexpr const char* kPassword = "s3cret pass";

    explicit BrokerRig(Kind kind = Kind::Plain) : kind_(kind), port_(FreePort()) {
        QStringList conf{
            QStringLiteral("persistence true"),
            QStringLiteral("persistence_location %1/").arg(dir_.path()),
            // A subscriber that lags must not lose the rows of a fast publisher.
            QStringLiteral("max_queued_messages 0"),
            QStringLiteral("log_dest stderr"),
            QStringLiteral("listener %1 127.0.0.1").arg(port_),
        };
        // As root the broker would switch to its own user, who cannot read this folder.
        if (const passwd* pw = ::getpwuid(::geteuid())) {
            conf << QStringLiteral("user %1").arg(QString::fromLocal8Bit(pw->pw_name));
        }
        if (kind == Kind::Tls) {
            // The feed speaks TLS on port(); the test's subscriber plain TCP on plainPort().
            plainPort_ = FreePort();
            conf << QStringLiteral("certfile %1").arg(certificate("server"))
                 << QStringLiteral("keyfile %1").arg(path("server.key"))
                 << QStringLiteral("listener %1 127.0.0.1").arg(plainPort_);
        }
        if (kind == Kind::Password) {
            RunOk(QStringLiteral("mosquitto_passwd"),
                  {QStringLiteral("-b"), QStringLiteral("-c"), path("passwd"),
                   QString::fromLatin1(kUser), QString::fromLatin1(kPassword)});
            conf << QStringLiteral("allow_anonymous false")
                 << QStringLiteral("password_file %1").arg(path("passwd"));
        } else {
            conf << QStringLiteral("allow_anonymous true");
        }
        QFile file(path("mosquitto.conf"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(conf.join(QLatin1Char('\n')).toUtf8() + '\n');
    }
    ~BrokerRig() { stop(); }

    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    int port() const { return port_; }
    int plainPort() const { return kind_ == Kind::Tls ? plainPort_ : port_; }
    QString url() const {
        return QStringLiteral("%1://localhost:%2")
            .arg(kind_ == Kind::Tls ? QStringLiteral("mqtts") : QStringLiteral("mqtt"))
            .arg(port_);
    }

    // Started when it says it runs: every listener is open then.
    bool start() {
        proc_.setProcessChannelMode(QProcess::MergedChannels);
        proc_.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), path("mosquitto.conf")});
        QByteArray log;
        const auto said = [&] {
            log += proc_.readAll();
            return log.contains(" running") || proc_.state() != QProcess::Running;
        };
        if (proc_.waitForStarted() && QTest::qWaitFor(said, 10000) &&
            proc_.state() == QProcess::Running) {
            return true;
        }
        qWarning("broker: %s %s", qPrintable(proc_.errorString()), log.constData());
        return false;
    }
    // A clean stop: the broker saves its sessions and closes every connection.
    void stop() {
        if (proc_.state() != QProcess::NotRunning) {
            proc_.terminate();
            proc_.waitForFinished(10000);
        }
    }

    // A self-signed certificate for localhost and its key (NAME.key): the broker's ("server"),
    // or one it does not use.
    QString certificate(const QString& name) {
        RunOk(QStringLiteral("openssl"),
              {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
               "-nodes", "-days", "2", "-subj", "/CN=localhost", "-addext",
               "subjectAltName=DNS:localhost,IP:127.0.0.1", "-keyout", dir_.filePath(name + ".key"),
               "-out", dir_.filePath(name + ".crt")});
        return dir_.filePath(name + ".crt");
    }

  private:
    Kind kind_;
    QTemporaryDir dir_;
    int port_;
    int plainPort_ = 0;
    QProcess proc_;
};

struct Message {
    QString topic;
    QByteArray payload;
    bool retained = false;
    QJsonObject json() const { return QJsonDocument::fromJson(payload).object(); }
};

// A subscriber on libmosquitto's own thread. Persistent (the broker keeps its session and what
// arrives for it while it reconnects, also across a restart of the broker) unless told otherwise.
class Subscriber {
  public:
    Subscriber(int port, const QString& filter, bool persistent = true, const char* user = nullptr,
               const char* password = nullptr)
        : filter_(filter.toUtf8()) {
        mosquitto_lib_init();
        static int count = 0;
        const QByteArray id = QByteArray("k12-test-sub-") + QByteArray::number(::getpid()) + '-' +
                              QByteArray::number(++count);
        mosq_ = mosquitto_new(id.constData(), !persistent, this);
        mosquitto_username_pw_set(mosq_, user, password);
        mosquitto_reconnect_delay_set(mosq_, 1, 1, false);
        mosquitto_connect_callback_set(mosq_, [](mosquitto* m, void* obj, int rc) {
            if (rc == 0) {
                mosquitto_subscribe(m, nullptr, static_cast<Subscriber*>(obj)->filter_.constData(),
                                    1);
            }
        });
        mosquitto_subscribe_callback_set(mosq_, [](mosquitto*, void* obj, int, int, const int*) {
            auto* s = static_cast<Subscriber*>(obj);
            std::lock_guard lock(s->m_);
            s->subscribed_ = true;
        });
        mosquitto_message_callback_set(mosq_, [](mosquitto*, void* obj,
                                                 const mosquitto_message* msg) {
            auto* s = static_cast<Subscriber*>(obj);
            std::lock_guard lock(s->m_);
            s->messages_.push_back(
                {QString::fromUtf8(msg->topic),
                 QByteArray(static_cast<const char*>(msg->payload), msg->payloadlen), msg->retain});
        });
        mosquitto_connect_async(mosq_, "127.0.0.1", port, 30);
        mosquitto_loop_start(mosq_);
        QVERIFY(QTest::qWaitFor([this] {
            std::lock_guard lock(m_);
            return subscribed_;
        }));
    }
    ~Subscriber() {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, false);
        mosquitto_destroy(mosq_);
    }

    std::vector<Message> messages(const QString& topic = {}) const {
        std::lock_guard lock(m_);
        std::vector<Message> out;
        for (const Message& msg : messages_) {
            if (topic.isEmpty() || msg.topic == topic) {
                out.push_back(msg);
            }
        }
        return out;
    }
    bool waitFor(const std::function<bool(const std::vector<Message>&)>& done, int ms = 10000) {
        return QTest::qWaitFor([&] { return done(messages()); }, ms);
    }

  private:
    QByteArray filter_;
    mosquitto* mosq_ = nullptr;
    mutable std::mutex m_;
    bool subscribed_ = false;
    std::vector<Message> messages_;
};

} // namespace k12::test
