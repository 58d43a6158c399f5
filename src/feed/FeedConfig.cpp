// SPDX-License-Identifier: GPL-3.0-or-later
#include "FeedConfig.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QUrl>
#include <mosquitto.h>
#include <sys/stat.h>

namespace k12 {

namespace {

// The context of the texts below in the translations.
struct FeedTr {
    Q_DECLARE_TR_FUNCTIONS(Feed)
};

QString BadUrl(const QString& url) {
    return FeedTr::tr("ブローカーの指定に誤りがあります。\nmqtt://ホスト名[:ポート] または "
                     "mqtts://ホスト名[:ポート] の形で入力してください。\n%1")
        .arg(url);
}

// Why a file cannot be read, or an empty string. `what` names it for the operator.
QString ReadProblem(const QString& what, const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return FeedTr::tr("%1 %2 がありません。").arg(what, path);
    }
    if (!info.isFile()) {
        return FeedTr::tr("%1 %2 はファイルではありません。").arg(what, path);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return FeedTr::tr("%1 %2 を読めません。\n%3").arg(what, path, file.errorString());
    }
    return {};
}

QString PasswordFileName() {
    return FeedTr::tr("パスワードファイル");
}

QString CaFileName() {
    return FeedTr::tr("CA証明書ファイル");
}

std::optional<QString> PasswordFileProblem(const FeedSettings& s) {
    const QString path = s.PasswordFile.trimmed();
    if (path.isEmpty()) {
        return std::nullopt;
    }
    if (s.Username.trimmed().isEmpty()) {
        return FeedTr::tr("パスワードファイルを使うにはユーザー名も入力してください。");
    }
    if (const QString problem = ReadProblem(PasswordFileName(), path); !problem.isEmpty()) {
        return problem;
    }
    // The mode bits themselves: QFile::permissions() folds in the user's access.
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & 044) != 0) {
        return FeedTr::tr("%1 %2 はグループやほかのユーザーも読めます。\n所有者だけが読める"
                         "ようにしてください（chmod 600）。")
            .arg(PasswordFileName(), path);
    }
    return std::nullopt;
}

std::optional<QString> CaFileProblem(const FeedSettings& s, bool tls) {
    const QString path = s.CaFile.trimmed();
    if (path.isEmpty()) {
        return std::nullopt;
    }
    if (!tls) {
        return FeedTr::tr("CA証明書ファイルは mqtts:// のブローカーにだけ使えます。");
    }
    if (const QString problem = ReadProblem(CaFileName(), path); !problem.isEmpty()) {
        return problem;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) ||
        !file.read(1 << 20).contains("-----BEGIN CERTIFICATE-----")) {
        return FeedTr::tr("%1 %2 に証明書（PEM 形式）がありません。").arg(CaFileName(), path);
    }
    return std::nullopt;
}

} // namespace

std::variant<BrokerAddress, QString> ParseBrokerUrl(const QString& text) {
    const QString trimmed = text.trimmed();
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != u"mqtt" && url.scheme() != u"mqtts") ||
        url.host().isEmpty() || url.hasQuery() || url.hasFragment() ||
        (!url.path().isEmpty() && url.path() != u"/") || !trimmed.contains(QStringLiteral("://"))) {
        return BadUrl(trimmed);
    }
    if (!url.userInfo().isEmpty()) {
        return FeedTr::tr("ブローカーの指定にユーザー名やパスワードは書けません。\n「ユーザー名」"
                         "と「パスワードファイル」を使ってください。");
    }
    const bool tls = url.scheme() == u"mqtts";
    const int port = url.port(tls ? 8883 : 1883);
    if (port < 1 || port > 65535) {
        return BadUrl(trimmed);
    }
    return BrokerAddress{tls, url.host(), port};
}

std::optional<QString> FeedSettingsProblem(const FeedSettings& s) {
    if (!s.On()) {
        return std::nullopt;
    }
    const auto address = ParseBrokerUrl(s.Broker);
    if (const auto* problem = std::get_if<QString>(&address)) {
        return *problem;
    }
    // Published under <topic>/status and its kin: no wildcards, within the protocol's length.
    const QByteArray topic = (FeedTopic(s) + QStringLiteral("/status")).toUtf8();
    if (mosquitto_pub_topic_check2(topic.constData(), size_t(topic.size())) != MOSQ_ERR_SUCCESS) {
        return FeedTr::tr("トピックに誤りがあります。\n+ や # を含まない名前を入力してください"
                         "（空欄: k12inc/ホスト名）。");
    }
    if (auto problem = PasswordFileProblem(s)) {
        return problem;
    }
    return CaFileProblem(s, std::get<BrokerAddress>(address).tls);
}

QString FeedTopic(const FeedSettings& s) {
    QString topic = s.Topic.trimmed();
    while (topic.endsWith(QLatin1Char('/'))) {
        topic.chop(1);
    }
    return topic.isEmpty() ? QStringLiteral("k12inc/") + QSysInfo::machineHostName() : topic;
}

QString FeedClientId(const FeedSettings& s) {
    const QString id = s.ClientId.trimmed();
    return id.isEmpty() ? QStringLiteral("k12inc-%1-%2")
                              .arg(QSysInfo::machineHostName())
                              .arg(QCoreApplication::applicationPid())
                        : id;
}

std::variant<QByteArray, QString> ReadPasswordFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return FeedTr::tr("%1 %2 を読めません。\n%3")
            .arg(PasswordFileName(), path, file.errorString());
    }
    QByteArray line = file.readLine(65536);
    while (line.endsWith('\n') || line.endsWith('\r')) {
        line.chop(1);
    }
    return line;
}

} // namespace k12
