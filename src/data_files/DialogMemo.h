// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measurement/MeasurementStore.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"

#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <optional>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace k12 {

// Writes the whole store to path; returns a message naming the path and the reason on failure.
using StoreWriter =
    std::function<std::optional<QString>(const MeasurementStore& store, const QString& path)>;

// The program's writers (CSV export and dedicated data file) in the form the dialog takes.
StoreWriter CsvStoreWriter();
StoreWriter DataFileStoreWriter();

// The file dialogs' filters, "CSVファイル  (*.csv)|*.csv|" and "専用ファイル  (*.zr5)|*.zr5|",
// in the program's language.
QString CsvFilter();
QString DedicatedFilter();

// The modal save dialog: five memo lines and the file type, then a file name and the writer.
// Make one per opening; it is filled from the store when made.
class DialogMemo final : public QDialog {
    Q_OBJECT

  public:
    DialogMemo(MeasurementStore& store, FileDialog& files, MessageBox& messages,
               StoreWriter writeCsv, StoreWriter writeDedicated, QWidget* parent = nullptr);
    ~DialogMemo() override;

  public Q_SLOTS:
    // "次へ": choose the file and write it; closes only after a successful write.
    void Save();

  private:
    MeasurementStore& store_;
    FileDialog& files_;
    MessageBox& messages_;
    StoreWriter writeCsv_;
    StoreWriter writeDedicated_;

    std::array<QLineEdit*, MEMO_COUNT> txtMemo_{};
    std::array<QRadioButton*, 2> optFiletype_{};
    QPushButton* OKButton_ = nullptr;
    QPushButton* CancelButton_ = nullptr;
};

} // namespace k12
