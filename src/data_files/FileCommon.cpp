// SPDX-License-Identifier: GPL-3.0-or-later
#include "data_files/FileCommon.h"

#include "measurement/Conversions.h"

#include <QDir>
#include <QSaveFile>

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

std::optional<DataFileError> SaveBytes(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return SaveFailure(
            path, QStringLiteral("ファイルを作成できません（%1）。").arg(file.errorString()));
    }
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return SaveFailure(path, QStringLiteral("書き込みに失敗しました（%1）。").arg(reason));
    }
    if (!file.commit()) {
        return SaveFailure(
            path, QStringLiteral("書き込みを完了できません（%1）。").arg(file.errorString()));
    }
    return std::nullopt;
}

} // namespace k12::files
