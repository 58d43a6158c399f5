// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/QcpChart.h"

#include "platform/Fonts.h"
#include "platform/LineThinning.h"
#include "platform/QcpInclude.h"

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

const QColor kSeriesColors[] = {QColor(255, 0, 0), QColor(0, 0, 205), QColor(255, 0, 255),
                                QColor(34, 139, 34)};
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
    apply();
}

QcpChart::~QcpChart() = default;

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
}

void QcpChart::redraw() {
    if (!plot_) {
        return;
    }
    apply();
    plot_->replot(QCustomPlot::rpQueuedReplot);
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

    header_->setText(headerText());
    header_->setTextFlags((headerPlacement() == kHeaderLeftTop ? Qt::AlignLeft : Qt::AlignHCenter) |
                          Qt::AlignVCenter);

    for (ChartAxis axis : {ChartAxis::X, ChartAxis::Y}) {
        QCPAxis* a = axisOf(p, axis);
        a->setLabel(axisTitle(axis));
        const auto [min, max] = axisRange(axis);
        // A range QCustomPlot cannot show (empty, reversed, not finite) leaves the last one.
        if (min < max && std::isfinite(min) && std::isfinite(max)) {
            a->setRange(min, max);
        }
    }

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
        QPen pen(i < std::size(kSeriesColors) ? kSeriesColors[i] : QColor(Qt::black));
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
    if (!plot_) {
        return false;
    }
    QSize size = plot_->size();
    if (size.width() < 200 || size.height() < 150) {
        size = QSize(640, 350);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setResolution(plot_->logicalDpiX());
    {
        QCPPainter painter;
        if (!painter.begin(&svg)) {
            return false;
        }
        painter.setMode(QCPPainter::pmVectorized);
        for (detail::HoleGraph* g : graphs_) {
            g->setColumnsPerPixel(4.0);
        }
        plot_->toPainter(&painter, size.width(), size.height());
        for (detail::HoleGraph* g : graphs_) {
            g->setColumnsPerPixel(1.0);
        }
        painter.end();
    }
    return file.commit();
}

} // namespace k12
