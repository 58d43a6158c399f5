// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/QcpClockTicker.h"

#include <cmath>

namespace k12 {

namespace {

QDateTime ClockAt(double epochSeconds) {
    return QDateTime::fromMSecsSinceEpoch(std::llround(epochSeconds * 1000.0));
}

} // namespace

void QcpClockTicker::setStart(const QDateTime& start) {
    offset_ = static_cast<double>(start.toMSecsSinceEpoch()) / 1000.0;
}

void QcpClockTicker::generate(const QCPRange& range, const QLocale& locale, QChar formatChar,
                              int precision, QVector<double>& ticks, QVector<double>* subTicks,
                              QVector<QString>* tickLabels) {
    // The date-time ticker works on seconds since the epoch; the keys are seconds since start.
    const QCPRange clock(range.lower + offset_, range.upper + offset_);
    spansDays_ = ClockAt(clock.lower).date() != ClockAt(clock.upper).date();
    QCPAxisTickerDateTime::generate(clock, locale, formatChar, precision, ticks, subTicks,
                                    tickLabels);
    for (double& t : ticks) {
        t -= offset_;
    }
    if (subTicks) {
        for (double& t : *subTicks) {
            t -= offset_;
        }
    }
}

double QcpClockTicker::getTickStep(const QCPRange& range) {
    step_ = QCPAxisTickerDateTime::getTickStep(range);
    return step_;
}

QString QcpClockTicker::getTickLabel(double tick, const QLocale&, QChar, int) {
    QString format = step_ < 1.0 ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss");
    if (spansDays_) {
        format.prepend(QStringLiteral("yyyy/M/d\n"));
    }
    return ClockAt(tick).toString(format);
}

} // namespace k12
