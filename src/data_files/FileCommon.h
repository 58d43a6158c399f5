// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data_files/DataFile.h"

#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <optional>

namespace k12::files {

// "ファイル「path」に保存できませんでした。" followed by the reason on a second line.
DataFileError SaveFailure(const QString& path, const QString& reason);

// The CP932 form of `text`, or a save failure naming `what` (MemoName, "開始時刻") when CP932
// cannot represent it or, with `limitLength`, when it exceeds 32767 bytes.
std::optional<QByteArray> EncodeField(const QString& text, const QString& what, const QString& path,
                                      bool limitLength, std::optional<DataFileError>& error);

// `name` in `folder`, or with "-2", "-3", ... before its extension ("run.zr5", "run-2.zr5") when
// an entry of that name exists: the first free one, however many are taken. Whoever creates the
// file must still not replace one that appeared meanwhile.
QString FreeFilePath(const QString& folder, const QString& name);
// Whether an entry named `path` exists (a dangling symbolic link included).
bool FileNameTaken(const QString& path);

// The label of memo line i (0..4) in the files: "メモ１" to "メモ５", whatever the language.
QString MemoLabel(int i);
// Its name in the operator's messages, in the program's language.
QString MemoName(int i);

// A file written in parts to a temporary file in the target's folder; it replaces `path` only on
// Commit(), and is dropped when destroyed before, so a failure leaves any existing file as it was.
class SaveStream {
  public:
    explicit SaveStream(const QString& path) : path_(path), file_(path) {}
    std::optional<DataFileError> Open();
    std::optional<DataFileError> Write(const QByteArray& bytes);
    std::optional<DataFileError> Commit();

  private:
    QString path_;
    QSaveFile file_;
};

// Writes `bytes` to a temporary file in the target's folder and renames it over `path` only
// once complete, so a failure leaves any existing file as it was.
std::optional<DataFileError> SaveBytes(const QString& path, const QByteArray& bytes);

} // namespace k12::files
