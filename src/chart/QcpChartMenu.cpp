// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/QcpChartMenu.h"

#include "chart/ChartModel.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMenu>

namespace k12 {

QString QcpChartMenu::ImageFilter() {
    return QCoreApplication::translate(
        "Chart", "PNG画像 (*.png)|*.png|SVG画像 (*.svg)|*.svg|PDFファイル (*.pdf)|*.pdf|");
}

QcpChartMenu::QcpChartMenu(QCustomPlot* plot, ChartModel& model, ImageWriter writeImage)
    : QObject(plot), plot_(plot), model_(model), writeImage_(std::move(writeImage)) {
    plot->installEventFilter(this);
}

void QcpChartMenu::setDialogs(FileDialog* files, MessageBox* messages) {
    files_ = files;
    messages_ = messages;
}

bool QcpChartMenu::eventFilter(QObject*, QEvent* event) {
    if (event->type() != QEvent::ContextMenu) {
        return false;
    }
    open(static_cast<QContextMenuEvent*>(event)->pos());
    return true;
}

QMenu* QcpChartMenu::open(QPoint pos) {
    using Marker = ChartModel::Marker;
    auto* menu = new QMenu(plot_);
    menu->setObjectName(QStringLiteral("chartMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);

    const PlotRows rows(plot_, model_.reader());
    const auto row = rows.inPlot(pos) ? rows.nearestRow(pos.x()) : std::nullopt;
    for (const auto& [m, text] :
         {std::pair{Marker::A, QCoreApplication::translate("Chart", "マーカーA をここに")},
          std::pair{Marker::B, QCoreApplication::translate("Chart", "マーカーB をここに")}}) {
        QAction* here = menu->addAction(text);
        here->setEnabled(row.has_value());
        connect(here, &QAction::triggered, this, [this, m = m, row] { model_.setMarker(m, row); });
    }
    QAction* clear = menu->addAction(QCoreApplication::translate("Chart", "マーカーを消す"));
    clear->setEnabled(model_.marker(Marker::A) || model_.marker(Marker::B));
    connect(clear, &QAction::triggered, this, [this] {
        model_.setMarker(Marker::A, std::nullopt);
        model_.setMarker(Marker::B, std::nullopt);
    });
    menu->addSeparator();
    QAction* all = menu->addAction(QCoreApplication::translate("Chart", "全表示に戻す"));
    connect(all, &QAction::triggered, this, [this] {
        if (model_.reader().showAll) {
            model_.reader().showAll();
        }
    });
    QAction* clock = menu->addAction(QCoreApplication::translate("Chart", "横軸を時刻で表示"));
    clock->setCheckable(true);
    clock->setChecked(model_.clockAxis());
    connect(clock, &QAction::toggled, this, [this](bool on) {
        model_.setClockAxis(on);
        if (model_.reader().clockAxisChanged) {
            model_.reader().clockAxisChanged(on);
        }
    });
    menu->addSeparator();
    QAction* save = menu->addAction(QCoreApplication::translate("Chart", "画像として保存..."));
    save->setEnabled(files_ != nullptr && messages_ != nullptr);
    // Queued: the dialog opens once the menu has closed.
    connect(save, &QAction::triggered, this, &QcpChartMenu::saveImage, Qt::QueuedConnection);
    menu->popup(plot_->mapToGlobal(pos));
    return menu;
}

void QcpChartMenu::saveImage() {
    if (files_ == nullptr || messages_ == nullptr) {
        return;
    }
    const auto path = files_->saveFileNameOfType(plot_->window(), ImageFilter());
    if (!path) {
        return;
    }
    QString error;
    if (!writeImage_(*path, &error)) {
        messages_->show(QCoreApplication::translate("Chart", "画像を保存できませんでした。\n%1\n%2")
                            .arg(*path, error),
                        QStringLiteral("Message"), MsgButtons::Ok, MsgIcon::Error);
    }
}

} // namespace k12
