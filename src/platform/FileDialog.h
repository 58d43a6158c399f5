// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace k12 {

// Open and save dialogs and a folder chooser. The filter is in the program's own form
// "CSVファイル  (*.csv)|*.csv|"; std::nullopt means the operator cancelled.
class FileDialog {
  public:
    virtual ~FileDialog() = default;
    // Asks before replacing an existing file and before creating a new one.
    virtual std::optional<QString> saveFileName(QWidget* parent, const QString& filter) = 0;
    virtual std::optional<QString> openFileName(QWidget* parent, const QString& filter) = 0;
    // As saveFileName, but a name typed without an extension gets that of the file type chosen
    // in the dialog.
    virtual std::optional<QString> saveFileNameOfType(QWidget* parent, const QString& filter) {
        return saveFileName(parent, filter);
    }
    // A folder that exists, starting at start (or the nearest folder above it that exists).
    virtual std::optional<QString> existingFolderName(QWidget* parent, const QString& start) = 0;
};

} // namespace k12
