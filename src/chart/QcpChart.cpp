// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/QcpChart.h"

#include "chart/LineThinning.h"
#include "chart/QcpChartMenu.h"
#include "chart/QcpClockTicker.h"
#include "chart/QcpInclude.h"
#include "chart/QcpLegendToggle.h"
#include "chart/QcpMarkers.h"
#include "chart/QcpReadout.h"
#include "chart/QcpZoomX.h"
#include "chart/QcpZoomY.h"
#include "platform/Fonts.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageWriter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace k12 {

namespace detail {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Key of holes that come before any point with an X.
constexpr double kLowestKey = std::numeric_limits<double>::lowest();

// Gives write access to the container's storage so points can be updated in place by index.
class PointContainer : public QCPGraphDataContainer {
  public:
    QVector<QCPGraphData>& points() {
        if (mPreallocSize > 0) {
            squeeze(true, false);
        }
        return mData;
    }
};

} // namespace

class HoleGraph : public QCPGraph {
  public:
    HoleGraph(QCPAxis* keyAxis, QCPAxis* valueAxis)
        : QCPGraph(keyAxis, valueAxis), container_(QSharedPointer<PointContainer>::create()) {
        setData(container_);
        // The thinning below replaces the built-in sampling, which does not keep holes.
        setAdaptiveSampling(false);
        setLineStyle(lsLine);
        setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
    }

    // Whoever changes points through this must report the first changed index to
    // invalidateFrom() before the next draw.
    QVector<QCPGraphData>& points() { return container_->points(); }
    void invalidateFrom(qsizetype index) { thinning_.invalidateFrom(index); }
    // Thinning columns per device pixel; raised for vector output, which is scaled up later.
    void setColumnsPerPixel(double c) { columnsPerPixel_ = c; }

    const QVector<QCPGraphData>& thinnedLine() const { return thinning_.line(); }
    QVector<QCPGraphData> thinnedLineFromScratch() const {
        QVector<QCPGraphData> out;
        QCPGraphDataContainer::const_iterator begin;
        QCPGraphDataContainer::const_iterator end;
        getVisibleDataBounds(begin, end, QCPDataRange(0, dataCount()));
        if (const auto scale = columnScale(); scale && begin != end) {
            ThinLine(&*container_->constBegin(), begin - container_->constBegin(),
                     end - container_->constBegin(), *scale, out);
        }
        return out;
    }

  protected:
    void getOptimizedLineData(QVector<QCPGraphData>* lineData,
                              const QCPGraphDataContainer::const_iterator& begin,
                              const QCPGraphDataContainer::const_iterator& end) const override;

  private:
    std::optional<ColumnScale> columnScale() const {
        QCPAxis* axis = keyAxis();
        if (!axis) {
            return std::nullopt;
        }
        const double k0 = axis->range().lower;
        const double p0 = axis->coordToPixel(k0);
        const double perKey = axis->coordToPixel(k0 + 1.0) - p0;
        if (!(perKey != 0.0) || !std::isfinite(perKey)) {
            return std::nullopt;
        }
        return ColumnScale{k0, p0, perKey, columnsPerPixel_};
    }

    QSharedPointer<PointContainer> container_;
    double columnsPerPixel_ = 1.0;
    // Kept between draws: a new point costs a rescan of the last column only.
    mutable IncrementalThinning thinning_;
};

void HoleGraph::getOptimizedLineData(QVector<QCPGraphData>* lineData,
                                     const QCPGraphDataContainer::const_iterator& begin,
                                     const QCPGraphDataContainer::const_iterator& end) const {
    if (!lineData) {
        return;
    }
    lineData->clear();
    const auto scale = columnScale();
    if (!scale || begin == end) {
        return;
    }
    const auto first = container_->constBegin();
    // Shares the kept line; nothing copies it unless the drawing changes it.
    *lineData = thinning_.update(&*first, begin - first, end - first, *scale);
}

} // namespace detail

namespace {

const QColor kHiddenGrey(170, 170, 170);
constexpr int kHeaderLeftTop = 3;
constexpr double kFontPoints = 9.0;

QFont chartFont(const QString& family) {
    QFont f(family);
    f.setPointSizeF(kFontPoints);
    return f;
}

QCPAxis* axisOf(QCustomPlot* plot, ChartAxis axis) {
    return axis == ChartAxis::X ? plot->xAxis : plot->yAxis;
}

} // namespace

QcpChart::QcpChart(QWidget* parent) {
    if (parent) {
        plot_ = new QCustomPlot(parent);
    } else {
        owned_ = std::make_unique<QCustomPlot>();
        plot_ = owned_.get();
    }
    setUpPlot();
    setUpTools();
    apply();
}

QcpChart::~QcpChart() = default;

QcpReadout* QcpChart::readout() const {
    return readout_;
}

QcpMarkers* QcpChart::markers() const {
    return markers_;
}

QcpChartMenu* QcpChart::menu() const {
    return menu_;
}

QWidget* QcpChart::widget() {
    return plot_;
}

QCustomPlot* QcpChart::plot() const {
    return plot_;
}

void QcpChart::setUpPlot() {
    QCustomPlot* p = plot_;
    p->setBackground(Qt::white);
    // Crisp 1-pixel lines, and cheaper to draw than antialiased ones.
    p->setNotAntialiasedElements(QCP::aePlottables);

    header_ = new QCPTextElement(p, QString(), chartFont(PGothicFamily()));
    header_->setTextColor(Qt::black);
    p->plotLayout()->insertRow(0);
    p->plotLayout()->addElement(0, 0, header_);
    p->plotLayout()->setRowStretchFactor(0, 0.001);

    QCPAxisRect* rect = p->axisRect();
    rect->setupFullAxesBox(true);
    const QFont axisTitleFont = chartFont(PGothicFamily());
    const QFont tickFont = chartFont(GothicFamily());
    for (QCPAxis* a : {p->xAxis, p->yAxis}) {
        a->setLabelFont(axisTitleFont);
        a->setTickLabelFont(tickFont);
    }
    for (QCPAxis* a : {p->xAxis2, p->yAxis2}) {
        a->setTickLabels(false);
    }

    // The legend stands right of the plot area, at its top.
    p->legend->setVisible(true);
    p->legend->setFont(chartFont(PGothicFamily()));
    rect->insetLayout()->take(p->legend);
    auto* side = new QCPLayoutGrid;
    p->plotLayout()->addElement(1, 1, side);
    side->addElement(0, 0, p->legend);
    side->addElement(1, 0, new QCPLayoutElement(p));
    side->setRowStretchFactor(0, 0.001);
    p->plotLayout()->setColumnStretchFactor(1, 0.001);
    side->setMargins(QMargins(0, 0, 6, 0));

    originLine_ = new QCPItemStraightLine(p);
    originLine_->setPen(QPen(Qt::black));
    originLine_->setVisible(false);

    secondsTicker_ = p->xAxis->ticker();
    clockTicker_ = QSharedPointer<QcpClockTicker>::create();
    p->setAccessibleName(QCoreApplication::translate("Chart", "グラフ"));
}

void QcpChart::setUpTools() {
    QCustomPlot* p = plot_;
    // Drawn in this order: the readout over the markers' box, which it keeps clear of.
    markers_ = new QcpMarkers(p, *this);
    readout_ = new QcpReadout(p, *this);
    readout_->setAvoid([this] { return markers_ ? markers_->boxRect() : QRect(); });
    new QcpZoomX(p, *this);
    new QcpZoomY(p, *this);
    new QcpLegendToggle(p, *this, [this](int series) -> QCPAbstractPlottable* {
        const auto i = static_cast<std::size_t>(series - 1);
        return i < graphs_.size() ? graphs_[i] : nullptr;
    });
    menu_ = new QcpChartMenu(
        p, *this, [this](const QString& path, QString* error) { return exportImage(path, error); });
}

void QcpChart::setDialogs(FileDialog& files, MessageBox& messages) {
    if (menu_) {
        menu_->setDialogs(&files, &messages);
    }
}

void QcpChart::redraw() {
    if (!plot_) {
        return;
    }
    apply();
    if (readout_) {
        readout_->refresh();
    }
    if (markers_) {
        markers_->refresh();
    }
    plot_->replot(QCustomPlot::rpQueuedReplot);
}

void QcpChart::markersChanged() {
    if (markers_) {
        // While repainting is held, resuming draws them with everything else.
        markers_->update(!isRepaintSuspended());
    }
}

void QcpChart::apply() {
    if (!plot_) {
        return;
    }
    QCustomPlot* p = plot_;
    syncGraphs();
    for (int s = 1; s <= seriesCount(); ++s) {
        pushSeries(s);
    }

    const QStringList labels = seriesLabels();
    for (int i = 0; i < static_cast<int>(graphs_.size()); ++i) {
        detail::HoleGraph* g = graphs_[static_cast<std::size_t>(i)];
        const bool labelled = i < labels.size();
        g->setName(labelled ? labels[i] : QString());
        if (labelled) {
            g->addToLegend();
        } else {
            g->removeFromLegend();
        }
    }

    applyHidden();
    header_->setText(headerText());
    header_->setTextFlags((headerPlacement() == kHeaderLeftTop ? Qt::AlignLeft : Qt::AlignHCenter) |
                          Qt::AlignVCenter);

    for (ChartAxis axis : {ChartAxis::X, ChartAxis::Y}) {
        QCPAxis* a = axisOf(p, axis);
        if (axis == ChartAxis::Y || !clockAxis()) {
            a->setLabel(axisTitle(axis));
        }
        const auto [min, max] = axisRange(axis);
        // A range QCustomPlot cannot show (empty, reversed, not finite) leaves the last one.
        if (min < max && std::isfinite(min) && std::isfinite(max)) {
            a->setRange(min, max);
        }
    }

    applyClockAxis();

    // The X axis always lies at the bottom; a crossing above the lower Y bound adds a line there.
    const auto origin = axisOrigin(ChartAxis::Y);
    const QCPRange y = p->yAxis->range();
    const bool inside = origin && *origin > y.lower && *origin <= y.upper;
    originLine_->setVisible(inside);
    if (inside) {
        originLine_->point1->setCoords(0.0, *origin);
        originLine_->point2->setCoords(1.0, *origin);
    }
}

void QcpChart::applyHidden() {
    for (std::size_t i = 0; i < graphs_.size(); ++i) {
        detail::HoleGraph* g = graphs_[i];
        const int series = static_cast<int>(i) + 1;
        const bool hidden = seriesHidden(series);
        g->setVisible(!hidden);
        // A hidden line's entry is greyed, its colour sample too.
        QPen pen = g->pen();
        pen.setColor(hidden ? kHiddenGrey : SeriesColor(series));
        g->setPen(pen);
        if (QCPPlottableLegendItem* item = plot_->legend->itemWithPlottable(g)) {
            item->setTextColor(hidden ? kHiddenGrey : QColor(Qt::black));
        }
    }
}

void QcpChart::applyClockAxis() {
    const QDateTime start = reader().startTime ? reader().startTime() : QDateTime();
    QCPAxis* x = plot_->xAxis;
    if (clockAxis() && start.isValid()) {
        clockTicker_->setStart(start);
        x->setTicker(clockTicker_);
        x->setLabel(QCoreApplication::translate("Chart", "時刻"));
    } else {
        x->setTicker(secondsTicker_);
        x->setLabel(axisTitle(ChartAxis::X));
    }
}

void QcpChart::syncGraphs() {
    QCustomPlot* p = plot_;
    const auto count = static_cast<std::size_t>(seriesCount());
    while (graphs_.size() > count) {
        p->removePlottable(graphs_.back());
        graphs_.pop_back();
        needFullPush_.pop_back();
    }
    while (graphs_.size() < count) {
        auto* g = new detail::HoleGraph(p->xAxis, p->yAxis);
        const std::size_t i = graphs_.size();
        QPen pen(SeriesColor(static_cast<int>(i) + 1));
        pen.setWidth(1);
        g->setPen(pen);
        graphs_.push_back(g);
        needFullPush_.push_back(true);
    }
}

void QcpChart::pushSeries(int series) {
    const auto idx = static_cast<std::size_t>(series - 1);
    detail::HoleGraph* g = graphs_[idx];
    QVector<QCPGraphData>& d = g->points();
    const int n = pointCount(series);
    const int old = static_cast<int>(d.size());
    DirtyRange r = dirtyRange(series);
    if (needFullPush_[idx]) {
        r = {0, n};
    }
    if (n != old) {
        d.resize(n);
        g->invalidateFrom(std::min(n, old));
        if (n > old) {
            r.lo = r.lo < r.hi ? std::min(r.lo, old) : old;
            r.hi = n;
        }
    }
    r.hi = std::min(r.hi, n);
    if (r.lo >= r.hi) {
        return;
    }
    g->invalidateFrom(r.lo);

    QCPGraphData* pts = d.data();
    double prevKey = r.lo > 0 ? pts[r.lo - 1].key : detail::kLowestKey;
    bool sorted = true;
    int i = r.lo;
    for (; i < r.hi; ++i) {
        const double x = xAt(i);
        const bool hasX = !std::isnan(x);
        const double key = hasX ? x : prevKey;
        sorted = sorted && key >= prevKey;
        pts[i].key = key;
        pts[i].value = hasX ? yAt(series, i) : detail::kNaN;
        prevKey = key;
    }
    // Following points without an X carry the key of the last point before them.
    for (; i < n && std::isnan(xAt(i)) && pts[i].key != prevKey; ++i) {
        pts[i].key = prevKey;
    }
    if (i < n && pts[i].key < prevKey) {
        sorted = false;
    }
    needFullPush_[idx] = !sorted;
    if (!sorted) {
        // X falling with the point number: QCustomPlot needs sorted keys, so the line then
        // follows X order. Rebuilt in full next time to recover point order if X is fixed.
        std::stable_sort(d.begin(), d.end(), [](const QCPGraphData& a, const QCPGraphData& b) {
            return a.key < b.key;
        });
        g->invalidateFrom(0);
    }
}

QImage QcpChart::render(int width, int height) {
    if (!plot_) {
        return {};
    }
    return plot_->toPixmap(width, height).toImage();
}

QVector<QCPGraphData> QcpChart::thinnedLine(int series) const {
    const auto i = static_cast<std::size_t>(series - 1);
    return i < graphs_.size() ? graphs_[i]->thinnedLine() : QVector<QCPGraphData>();
}

QVector<QCPGraphData> QcpChart::thinnedLineFromScratch(int series) const {
    const auto i = static_cast<std::size_t>(series - 1);
    return i < graphs_.size() ? graphs_[i]->thinnedLineFromScratch() : QVector<QCPGraphData>();
}

bool QcpChart::exportPicture(const QString& path) {
    return writeSvg(path, nullptr);
}

bool QcpChart::exportImage(const QString& path, QString* error) {
    const QString type = QFileInfo(path).suffix().toLower();
    if (type == QLatin1String("png")) {
        return writePng(path, error);
    }
    if (type == QLatin1String("svg")) {
        return writeSvg(path, error);
    }
    if (type == QLatin1String("pdf")) {
        return writePdf(path, error);
    }
    if (error != nullptr) {
        *error = QCoreApplication::translate(
            "Chart", "画像の形式は拡張子 .png、.svg、.pdf で選んでください。");
    }
    return false;
}

QSize QcpChart::exportSize() const {
    QSize size = plot_->size();
    if (size.width() < 200 || size.height() < 150) {
        size = QSize(640, 350);
    }
    return size;
}

namespace {

// Draws the plot for a file: finer thinning columns for output that is scaled up, and no cursor
// readout, which belongs to the mouse and not to the picture.
class ExportScope {
  public:
    ExportScope(std::vector<detail::HoleGraph*>& graphs, QcpReadout* readout, double columns)
        : graphs_(graphs), readout_(readout) {
        for (detail::HoleGraph* g : graphs_) {
            g->setColumnsPerPixel(columns);
        }
        if (readout_) {
            readout_->setVisible(false);
        }
    }
    ~ExportScope() {
        for (detail::HoleGraph* g : graphs_) {
            g->setColumnsPerPixel(1.0);
        }
        if (readout_) {
            readout_->setVisible(true);
        }
    }
    ExportScope(const ExportScope&) = delete;
    ExportScope& operator=(const ExportScope&) = delete;

  private:
    std::vector<detail::HoleGraph*>& graphs_;
    QcpReadout* readout_;
};

bool Fail(QString* error, const QString& reason) {
    if (error != nullptr) {
        *error = reason;
    }
    return false;
}

bool Commit(QSaveFile& file, QString* error) {
    return file.commit() || Fail(error, file.errorString());
}

} // namespace

bool QcpChart::writeSvg(const QString& path, QString* error) {
    if (!plot_) {
        return Fail(error, QCoreApplication::translate("Chart", "グラフがありません。"));
    }
    const QSize size = exportSize();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return Fail(error, file.errorString());
    }
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setResolution(plot_->logicalDpiX());
    {
        QCPPainter painter;
        if (!painter.begin(&svg)) {
            return Fail(error, QCoreApplication::translate("Chart", "SVG を作れません。"));
        }
        painter.setMode(QCPPainter::pmVectorized);
        const ExportScope scope(graphs_, readout_, 4.0);
        plot_->toPainter(&painter, size.width(), size.height());
        painter.end();
    }
    return Commit(file, error);
}

bool QcpChart::writePng(const QString& path, QString* error) {
    if (!plot_) {
        return Fail(error, QCoreApplication::translate("Chart", "グラフがありません。"));
    }
    const QSize size = exportSize();
    QImage image;
    {
        const ExportScope scope(graphs_, readout_, 2.0);
        image = plot_->toPixmap(size.width(), size.height(), 2.0).toImage();
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return Fail(error, file.errorString());
    }
    QImageWriter writer(&file, "png");
    if (!writer.write(image)) {
        return Fail(error, writer.errorString());
    }
    return Commit(file, error);
}

bool QcpChart::writePdf(const QString& path, QString* error) {
    if (!plot_) {
        return Fail(error, QCoreApplication::translate("Chart", "グラフがありません。"));
    }
    const QSize size = exportSize();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return Fail(error, file.errorString());
    }
    {
        QPdfWriter pdf(&file);
        pdf.setCreator(QStringLiteral("k12inc"));
        // One page of the chart's size, a point per pixel.
        pdf.setPageLayout(
            QPageLayout(QPageSize(QSizeF(size), QPageSize::Point, QString(), QPageSize::ExactMatch),
                        QPageLayout::Portrait, QMarginsF()));
        QCPPainter painter;
        if (!painter.begin(&pdf)) {
            return Fail(error, QCoreApplication::translate("Chart", "PDF を作れません。"));
        }
        painter.setMode(QCPPainter::pmVectorized);
        painter.setWindow(QRect(QPoint(0, 0), size));
        const ExportScope scope(graphs_, readout_, 4.0);
        plot_->toPainter(&painter, size.width(), size.height());
        painter.end();
    }
    return Commit(file, error);
}

} // namespace k12
