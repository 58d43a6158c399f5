// SPDX-License-Identifier: GPL-3.0-or-later
#include "data_files/FileCommon.h"

#include "measurement/Conversions.h"

#include <QDir>
#include <QFileInfo>

namespace k12::files {

namespace {
constexpr qsizetype MAX_TEXT_BYTES = 32767;
}

DataFileError SaveFailure(const QString& path, const QString& reason) {
    return {DataFileError::Kind::Failed,
            QStringLiteral("ファイル「%1」に保存できませんでした。\n%2")
                .arg(QDir::toNativeSeparators(path), reason)};
}

std::optional<QByteArray> EncodeField(const QString& text, const QString& what, const QString& path,
                                      bool limitLength, std::optional<DataFileError>& error) {
    auto bytes = EncodeCp932(text);
    if (!bytes) {
        error = SaveFailure(
            path, QStringLiteral("%1にファイルへ保存できない文字が含まれています。").arg(what));
        return std::nullopt;
    }
    if (limitLength && bytes->size() > MAX_TEXT_BYTES) {
        error = SaveFailure(path, QStringLiteral("%1が長すぎます（%2 バイト、最大 %3 バイト）。")
                                      .arg(what)
                                      .arg(bytes->size())
                                      .arg(MAX_TEXT_BYTES));
        return std::nullopt;
    }
    return bytes;
}

QString MemoLabel(int i) {
    return QStringLiteral("メモ") + QChar(0xFF11 + i);
}

std::optional<DataFileError> SaveStream::Open() {
    if (!file_.open(QIODevice::WriteOnly)) {
        return SaveFailure(
            path_, QStringLiteral("ファイルを作成できません（%1）。").arg(file_.errorString()));
    }
    return std::nullopt;
}

std::optional<DataFileError> SaveStream::Write(const QByteArray& bytes) {
    if (file_.write(bytes) != bytes.size()) {
        const QString reason = file_.errorString();
        file_.cancelWriting();
        return SaveFailure(path_, QStringLiteral("書き込みに失敗しました（%1）。").arg(reason));
    }
    return std::nullopt;
}

std::optional<DataFileError> SaveStream::Commit() {
    if (!file_.commit()) {
        return SaveFailure(
            path_, QStringLiteral("書き込みを完了できません（%1）。").arg(file_.errorString()));
    }
    return std::nullopt;
}

QString FreeFilePath(const QString& folder, const QString& name) {
    const QDir dir(folder);
    const QFileInfo info(name);
    QString path = dir.filePath(name);
    for (qint64 k = 2; QFileInfo::exists(path); ++k) {
        path = dir.filePath(info.completeBaseName() + QStringLiteral("-%1.").arg(k) + info.suffix());
    }
    return path;
}

std::optional<DataFileError> SaveBytes(const QString& path, const QByteArray& bytes) {
    SaveStream file(path);
    if (auto error = file.Open()) {
        return error;
    }
    if (auto error = file.Write(bytes)) {
        return error;
    }
    return file.Commit();
}

} // namespace k12::files
