// SPDX-License-Identifier: GPL-3.0-or-later
#include "DialogMemo.h"

#include "CsvFile.h"
#include "DataFile.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <exception>
#include <limits>
#include <utility>

namespace k12 {

namespace {

template <auto Write> StoreWriter Adapt() {
    return [](const MeasurementStore& store, const QString& path) -> std::optional<QString> {
        if (auto error = Write(store, path)) {
            return error->message;
        }
        return std::nullopt;
    };
}

} // namespace

StoreWriter CsvStoreWriter() {
    return Adapt<&WriteCsvFile>();
}

StoreWriter DataFileStoreWriter() {
    return Adapt<&WriteDataFile>();
}

QString CsvFilter() {
    return DialogMemo::tr("CSVファイル  (*.csv)|*.csv|");
}

QString DedicatedFilter() {
    return DialogMemo::tr("専用ファイル  (*.zr5)|*.zr5|");
}

DialogMemo::DialogMemo(MeasurementStore& store, FileDialog& files, MessageBox& messages,
                       StoreWriter writeCsv, StoreWriter writeDedicated, QWidget* parent)
    : QDialog(parent), store_(store), files_(files), messages_(messages),
      writeCsv_(std::move(writeCsv)), writeDedicated_(std::move(writeDedicated)) {
    setObjectName(QStringLiteral("DialogMemo"));
    setWindowTitle(tr("データ保存"));
    setModal(true);

    const std::array<QString, MEMO_COUNT> numbers = {tr("１．"), tr("２．"), tr("３．"), tr("４．"),
                                                     tr("５．")};

    auto* memoFrame = new QGroupBox(tr("メモ"), this);
    auto* memoGrid = new QGridLayout(memoFrame);
    for (int i = 0; i < MEMO_COUNT; ++i) {
        auto* label = new QLabel(numbers[i], memoFrame);
        label->setObjectName(QStringLiteral("Label1_%1").arg(i));
        auto* edit = new QLineEdit(memoFrame);
        // No silent cut at the line edit's default limit: a line too long for a file is
        // refused by name when saving.
        edit->setMaxLength(std::numeric_limits<int>::max());
        edit->setText(store_.Memo[i]);
        edit->setObjectName(QStringLiteral("txtMemo_%1").arg(i));
        edit->setMinimumWidth(360);
        label->setBuddy(edit);
        txtMemo_[i] = edit;
        memoGrid->addWidget(label, i, 0);
        memoGrid->addWidget(edit, i, 1);
    }

    auto* typeFrame = new QGroupBox(tr("ファイルの保存形式"), this);
    auto* typeRow = new QHBoxLayout(typeFrame);
    optFiletype_[0] = new QRadioButton(QStringLiteral("CSV"), typeFrame);
    optFiletype_[1] = new QRadioButton(tr("専用"), typeFrame);
    for (int i = 0; i < 2; ++i) {
        optFiletype_[i]->setObjectName(QStringLiteral("optFiletype_%1").arg(i));
        typeRow->addWidget(optFiletype_[i]);
    }
    typeRow->addStretch(1);
    optFiletype_[0]->setChecked(true);

    OKButton_ = new QPushButton(tr("次へ"), this);
    OKButton_->setObjectName(QStringLiteral("OKButton"));
    OKButton_->setDefault(true);
    CancelButton_ = new QPushButton(tr("戻る"), this);
    CancelButton_->setObjectName(QStringLiteral("CancelButton"));
    connect(OKButton_, &QPushButton::clicked, this, &DialogMemo::Save);
    connect(CancelButton_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton_);
    buttons->addWidget(CancelButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(memoFrame);
    layout->addWidget(typeFrame);
    layout->addLayout(buttons);
}

DialogMemo::~DialogMemo() = default;

void DialogMemo::Save() {
    const bool csv = optFiletype_[0]->isChecked();
    const std::optional<QString> path =
        files_.saveFileName(this, csv ? CsvFilter() : DedicatedFilter());
    if (!path || path->isEmpty()) {
        return; // cancelled: stay open for another try or "戻る"
    }

    // The writers take the memo lines from the store; a failed write puts the former lines
    // back, so "戻る" after a failure still leaves the store as it was.
    const auto former = store_.Memo;
    for (int i = 0; i < MEMO_COUNT; ++i) {
        store_.Memo[i] = txtMemo_[i]->text();
    }

    const StoreWriter& writer = csv ? writeCsv_ : writeDedicated_;
    std::optional<QString> error;
    if (!writer) {
        error = tr("書き込み処理がありません。");
    } else {
        try {
            error = writer(store_, *path);
        } catch (const std::exception& e) {
            error = QString::fromLocal8Bit(e.what());
        }
    }

    if (error) {
        store_.Memo = former;
        // The writers' messages name the path; any other gets it put in front.
        const QString text =
            error->contains(*path)
                ? *error
                : tr("ファイル「%1」に保存できませんでした。\n%2").arg(*path, *error);
        messages_.show(text, QStringLiteral("Message"), MsgButtons::Ok, MsgIcon::Error);
        return;
    }
    accept();
}

} // namespace k12
