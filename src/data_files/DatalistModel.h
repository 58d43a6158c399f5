// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measurement/MeasurementStore.h"

#include <QAbstractListModel>
#include <QString>
#include <array>
#include <vector>

namespace k12 {

// Pattern "###0.000" right-aligned to ten characters; longer texts are returned unchanged.
QString FormatDegree(float value);

// Characters per list column: a ten-character field and the separating blank.
inline constexpr int DATALIST_COLUMN_CHARS = 11;

// The rows of the store as list lines, formatted on demand. The samples are copied when the
// model is made, so the lines stay as they were while a new run or a file read refills the
// store.
class DatalistModel final : public QAbstractListModel {
    Q_OBJECT

  public:
    explicit DatalistModel(const MeasurementStore& store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The list line of row k (0-based).
    QString line(int row) const;
    int count() const { return count_; }

  private:
    int count_ = 0;
    std::array<bool, UNIT_COUNT> inUse_{};
    std::array<std::vector<float>, UNIT_COUNT> data_;
};

} // namespace k12
