// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chart/QcpOverlay.h"

#include <QObject>
#include <QPointer>

class QMenu;

namespace k12 {

class ChartModel;
class FileDialog;
class MessageBox;

// The chart's context menu: markers here or away, back to showing all rows, the clock time axis,
// and saving the chart as an image (PNG, SVG or PDF by the name's extension).
class QcpChartMenu : public QObject {
  public:
    // Writes the chart into an image file chosen by the name's extension; false with the reason.
    using ImageWriter = std::function<bool(const QString& path, QString* error)>;

    // "PNG画像 (*.png)|*.png|SVG画像 (*.svg)|*.svg|PDFファイル (*.pdf)|*.pdf|", translated.
    static QString ImageFilter();

    QcpChartMenu(QCustomPlot* plot, ChartModel& model, ImageWriter writeImage);

    // Without them "画像として保存..." is disabled.
    void setDialogs(FileDialog* files, MessageBox* messages);

    // Opens the menu for a point of the plot widget; it deletes itself when closed.
    QMenu* open(QPoint pos);
    // "画像として保存...": asks for the name, writes the file, says why when it cannot.
    void saveImage();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QCustomPlot> plot_;
    ChartModel& model_;
    ImageWriter writeImage_;
    FileDialog* files_ = nullptr;
    MessageBox* messages_ = nullptr;
};

} // namespace k12
