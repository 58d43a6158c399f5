// SPDX-License-Identifier: GPL-3.0-or-later
#include "DatalistModel.h"

#include "measurement/Conversions.h"

#include <algorithm>

namespace k12 {

namespace {

constexpr int kFieldWidth = 10;

const QString& MissingField() {
    static const QString text = QString(6, QLatin1Char(' ')) + QString(2, QChar(0x3000));
    return text;
}

const QString& UnusedField() {
    static const QString text = QString(5, QLatin1Char(' ')) + QString(2, QChar(0x3000));
    return text;
}

} // namespace

QString FormatDegree(float value) {
    const QString text = FormatFixed3(static_cast<double>(value));
    if (text.size() >= kFieldWidth) {
        return text;
    }
    return text.rightJustified(kFieldWidth, QLatin1Char(' '));
}

DatalistModel::DatalistModel(const MeasurementStore& store, QObject* parent)
    : QAbstractListModel(parent) {
    count_ = std::max(0, store.SampleCount);
    for (int u = 0; u < UNIT_COUNT; ++u) {
        const UnitRecord& unit = store.Units[u];
        inUse_[u] = unit.Mflag;
        if (!unit.Mflag) {
            continue;
        }
        // Slots the store does not hold read as missing rather than past the array's end.
        const auto available = std::min<std::size_t>(unit.Data.size(), count_);
        data_[u].assign(unit.Data.begin(), unit.Data.begin() + available);
        data_[u].resize(count_, NO_DATA_VALUE);
    }
}

int DatalistModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count_;
}

QVariant DatalistModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= count_) {
        return {};
    }
    return line(index.row());
}

QString DatalistModel::line(int row) const {
    QString out;
    out.reserve(4 * DATALIST_COLUMN_CHARS);
    for (int u = 0; u < UNIT_COUNT; ++u) {
        if (u > 0) {
            out += QLatin1Char(' ');
        }
        if (!inUse_[u]) {
            out += UnusedField();
        } else if (const float v = data_[u][row]; v == NO_DATA_VALUE) {
            out += MissingField();
        } else {
            out += FormatDegree(v);
        }
    }
    return out;
}

} // namespace k12
