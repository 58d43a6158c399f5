// SPDX-License-Identifier: GPL-3.0-or-later
#include "data_files/FileCommon.h"

#include "measurement/Conversions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>

namespace k12::files {

namespace {
constexpr qsizetype MAX_TEXT_BYTES = 32767;
}

DataFileError SaveFailure(const QString& path, const QString& reason) {
    return {DataFileError::Kind::Failed,
            QCoreApplication::translate("DataFile", "ファイル「%1」に保存できませんでした。\n%2")
                .arg(QDir::toNativeSeparators(path), reason)};
}

std::optional<QByteArray> EncodeField(const QString& text, const QString& what, const QString& path,
                                      bool limitLength, std::optional<DataFileError>& error) {
    auto bytes = EncodeCp932(text);
    if (!bytes) {
        error =
            SaveFailure(path, QCoreApplication::translate(
                                  "DataFile", "%1にファイルへ保存できない文字が含まれています。")
                                  .arg(what));
        return std::nullopt;
    }
    if (limitLength && bytes->size() > MAX_TEXT_BYTES) {
        error = SaveFailure(path, QCoreApplication::translate(
                                      "DataFile", "%1が長すぎます（%2 バイト、最大 %3 バイト）。")
                                      .arg(what)
                                      .arg(bytes->size())
                                      .arg(MAX_TEXT_BYTES));
        return std::nullopt;
    }
    return bytes;
}

bool FileNameTaken(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

QString FreeFilePath(const QString& folder, const QString& name) {
    const QDir dir(folder);
    const QFileInfo info(name);
    const QString stem = info.completeBaseName() + QLatin1Char('-');
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    QString path = dir.filePath(name);
    for (qint64 n = 2; FileNameTaken(path); ++n) {
        path = dir.filePath(stem + QString::number(n) + suffix);
    }
    return path;
}

QString MemoLabel(int i) {
    return QStringLiteral("メモ") + QChar(0xFF11 + i);
}

QString MemoName(int i) {
    static constexpr const char* names[] = {
        QT_TRANSLATE_NOOP("DataFile", "メモ１"), QT_TRANSLATE_NOOP("DataFile", "メモ２"),
        QT_TRANSLATE_NOOP("DataFile", "メモ３"), QT_TRANSLATE_NOOP("DataFile", "メモ４"),
        QT_TRANSLATE_NOOP("DataFile", "メモ５")};
    return QCoreApplication::translate("DataFile", names[i]);
}

std::optional<DataFileError> SaveStream::Open() {
    if (!file_.open(QIODevice::WriteOnly)) {
        return SaveFailure(
            path_, QCoreApplication::translate("DataFile", "ファイルを作成できません（%1）。")
                       .arg(file_.errorString()));
    }
    return std::nullopt;
}

std::optional<DataFileError> SaveStream::Write(const QByteArray& bytes) {
    if (file_.write(bytes) != bytes.size()) {
        const QString reason = file_.errorString();
        file_.cancelWriting();
        return SaveFailure(
            path_,
            QCoreApplication::translate("DataFile", "書き込みに失敗しました（%1）。").arg(reason));
    }
    return std::nullopt;
}

std::optional<DataFileError> SaveStream::Commit() {
    if (!file_.commit()) {
        return SaveFailure(
            path_, QCoreApplication::translate("DataFile", "書き込みを完了できません（%1）。")
                       .arg(file_.errorString()));
    }
    return std::nullopt;
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
