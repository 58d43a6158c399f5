// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileDialog.h"
#include "MessageBox.h"

#include <QString>
#include <optional>

namespace k12 {

// "CSVファイル  (*.csv)|*.csv|" -> "CSVファイル  (*.csv)". Pairs of description and patterns
// become Qt filters joined by ";;"; a description without its patterns in parentheses gets
// them appended.
QString ToQtFilter(const QString& filter);

// Open and save dialogs over the non-native QFileDialog. The chosen path is returned exactly
// as given: no extension is added. Saving asks, through the message box, before replacing an
// existing file and before creating a new one; "No" returns to the file dialog.
class QtFileDialog : public FileDialog {
  public:
    explicit QtFileDialog(MessageBox& messages) : messages_(messages) {}

    std::optional<QString> saveFileName(QWidget* parent, const QString& filter) override;
    std::optional<QString> openFileName(QWidget* parent, const QString& filter) override;
    std::optional<QString> saveFileNameOfType(QWidget* parent, const QString& filter) override;
    std::optional<QString> existingFolderName(QWidget* parent, const QString& start) override;

  protected:
    // Shows the file dialog once, starting at start (a file or folder, may be empty); nullopt
    // when cancelled.
    virtual std::optional<QString> runDialog(QWidget* parent, const QString& qtFilter, bool save,
                                             const QString& start);

  private:
    MessageBox& messages_;
    // Set while saveFileNameOfType runs: the dialog adds the chosen type's extension.
    bool typeSuffix_ = false;
};

} // namespace k12
