// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chart/ChartModel.h"

#include <QPointF>
#include <QSaveFile>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

namespace k12::test {

// In-memory chart: the real chart's data and redraw semantics (shared ChartModel) without
// drawing. Redraws are counted by redrawCount(); onRedraw runs at each one.
class FakeChart final : public ChartModel {
  public:
    QWidget* widget() override {
        if (!widget_) {
            widget_ = std::make_unique<QWidget>();
        }
        return widget_.get();
    }

    // Writes a small valid SVG unless failExport is set; records every path asked for.
    bool exportPicture(const QString& path) override {
        exportedPaths << path;
        if (failExport) {
            return false;
        }
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            return false;
        }
        file.write("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"640\" height=\"350\" "
                   "viewBox=\"0 0 640 350\"><rect x=\"0\" y=\"0\" width=\"640\" height=\"350\" "
                   "fill=\"white\" stroke=\"black\"/></svg>\n");
        return file.commit();
    }

    // Points that would be drawn for a series: (X, Y) of every point having both.
    QList<QPointF> drawnPoints(int series) const {
        QList<QPointF> out;
        for (int p = 1; p <= pointCount(series); ++p) {
            const auto x = xValue(p);
            const auto y = yValue(series, p);
            if (x && y) {
                out.append(QPointF(*x, *y));
            }
        }
        return out;
    }

    std::function<void()> onRedraw;
    QStringList exportedPaths;
    bool failExport = false;

  protected:
    void redraw() override {
        if (onRedraw) {
            onRedraw();
        }
    }

  private:
    std::unique_ptr<QWidget> widget_;
};

} // namespace k12::test
