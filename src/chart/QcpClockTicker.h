// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chart/QcpInclude.h"

#include <QDateTime>

namespace k12 {

// X axis ticks for keys in seconds since a start time, labelled with the clock time there:
// "HH:mm:ss", with the date above it where the range spans days and milliseconds where the ticks
// are less than a second apart. The steps are whole clock units (seconds, minutes, hours).
class QcpClockTicker : public QCPAxisTickerDateTime {
  public:
    void setStart(const QDateTime& start);

    void generate(const QCPRange& range, const QLocale& locale, QChar formatChar, int precision,
                  QVector<double>& ticks, QVector<double>* subTicks,
                  QVector<QString>* tickLabels) override;

  protected:
    double getTickStep(const QCPRange& range) override;
    QString getTickLabel(double tick, const QLocale& locale, QChar formatChar,
                         int precision) override;

  private:
    double offset_ = 0.0;
    double step_ = 1.0;
    bool spansDays_ = false;
};

} // namespace k12
