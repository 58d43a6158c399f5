// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measurement/MeasurementStore.h"

#include <QDialog>
#include <array>

class QLabel;
class QListView;
class QPushButton;

namespace k12 {

class DatalistModel;

// The non-modal data list window. Its lines are taken from the store when it is made and do
// not change afterwards. Make one per opening.
class DialogDatalist final : public QDialog {
    Q_OBJECT

  public:
    explicit DialogDatalist(const MeasurementStore& store, QWidget* parent = nullptr);
    ~DialogDatalist() override;

    // Fixed-pitch font of the list.
    static QFont ListFont();

    QListView* list() const { return List1_; }
    const DatalistModel* model() const { return model_; }

    void done(int r) override;

  Q_SIGNALS:
    // The window was closed, by its button, its close box, Esc or close().
    void closed();

  private:
    DatalistModel* model_ = nullptr;
    QLabel* Label1_ = nullptr;
    QLabel* lblDataNum_ = nullptr;
    std::array<QLabel*, UNIT_COUNT> Label2_{};
    QListView* List1_ = nullptr;
    QPushButton* OKButton_ = nullptr;
};

} // namespace k12
