// SPDX-License-Identifier: GPL-3.0-or-later
#include "AngleAlerts.h"

#include "Conversions.h"

#include <QCoreApplication>
#include <QStringList>
#include <cmath>

namespace k12 {

namespace {

constexpr size_t kKinds = 3;

size_t Index(AlertKind kind) {
    return static_cast<size_t>(kind);
}

// The context of the texts below in the translations.
struct AlertsTr {
    Q_DECLARE_TR_FUNCTIONS(Alerts)
};

QString UnitName(int unit) {
    return AlertsTr::tr("%1台目").arg(unit + 1);
}

// The limit's name in the window's texts.
QString KindCaption(AlertKind kind) {
    switch (kind) {
    case AlertKind::High:
        return AlertsTr::tr("上限", "the high limit");
    case AlertKind::Low:
        return AlertsTr::tr("下限", "the low limit");
    case AlertKind::Change:
        return AlertsTr::tr("変化", "the limit of change");
    }
    return {};
}

// The limit's name in the recorder's lines.
QString KindWord(AlertKind kind) {
    switch (kind) {
    case AlertKind::High:
        return AlertsTr::tr("上限", "the recorder's word for the kind");
    case AlertKind::Low:
        return AlertsTr::tr("下限", "the recorder's word for the kind");
    case AlertKind::Change:
        return AlertsTr::tr("変化", "the recorder's word for the kind");
    }
    return {};
}

// A limit text: empty for none, else degrees in range.
std::variant<std::optional<double>, QString> ParseLimit(const QString& text, int unit,
                                                        AlertKind kind) {
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        return std::optional<double>();
    }
    const auto v = TextToDouble(t);
    const bool change = kind == AlertKind::Change;
    if (v && std::isfinite(*v) && (change ? *v > 0.0 : *v >= -180.0) && *v <= 180.0) {
        return std::optional<double>(*v);
    }
    return (change
                ? AlertsTr::tr("%1の警報の%2に誤りがあります。\n0 より大きく 180 までの度数を入力して"
                            "ください（空欄: なし）。")
                : AlertsTr::tr("%1の警報の%2に誤りがあります。\n-180 から 180 までの度数を入力して"
                            "ください（空欄: なし）。"))
        .arg(UnitName(unit), KindCaption(kind));
}

// The distance of two directions in degrees, 0..180.
double CircleDistance(double a, double b) {
    const double d = std::fmod(std::fabs(a - b), 360.0);
    return d > 180.0 ? 360.0 - d : d;
}

QString Degrees(double v) {
    return ShortestDoubleText(v);
}

} // namespace

std::variant<AlertLimits, QString> ParseAlertSettings(const AlertSettings& s) {
    AlertLimits limits;
    for (int u = 0; u < ALERT_UNITS; ++u) {
        const auto i = static_cast<size_t>(u);
        const std::array<std::pair<AlertKind, const QString*>, kKinds> texts{
            {{AlertKind::High, &s.High[i]},
             {AlertKind::Low, &s.Low[i]},
             {AlertKind::Change, &s.Change[i]}}};
        for (const auto& [kind, text] : texts) {
            auto parsed = ParseLimit(*text, u, kind);
            if (auto* problem = std::get_if<QString>(&parsed)) {
                return *problem;
            }
            const auto v = std::get<std::optional<double>>(parsed);
            (kind == AlertKind::High  ? limits.high
             : kind == AlertKind::Low ? limits.low
                                      : limits.change)[i] = v;
        }
        if (limits.high[i] && limits.low[i] && *limits.low[i] >= *limits.high[i]) {
            return AlertsTr::tr("%1の警報の下限が上限以上になっています。").arg(UnitName(u));
        }
    }
    return limits;
}

std::optional<QString> AlertSettingsProblem(const AlertSettings& settings) {
    auto parsed = ParseAlertSettings(settings);
    if (auto* problem = std::get_if<QString>(&parsed)) {
        return *problem;
    }
    return std::nullopt;
}

void AngleAlerts::Reset() {
    first_ = {};
    raised_ = {};
}

AlertTransitions AngleAlerts::Feed(int unit, std::optional<double> value) {
    AlertTransitions out;
    if (unit < 0 || unit >= ALERT_UNITS || !value || !std::isfinite(*value)) {
        return out;
    }
    const auto i = static_cast<size_t>(unit);
    // As stored: a reading of exactly 10.1 is not above a limit of 10.1.
    const float v = static_cast<float>(*value);
    if (!first_[i]) {
        first_[i] = v;
    }
    const auto f = [](double x) { return static_cast<float>(x); };
    const auto step = [&](AlertKind kind, bool over, bool back, double limit, double change) {
        bool& raised = raised_[i][Index(kind)];
        if (!raised && over) {
            raised = true;
        } else if (raised && back) {
            raised = false;
        } else {
            return;
        }
        out.append({unit, kind, raised, limit, static_cast<double>(v), change});
    };
    if (const auto h = limits_.high[i]) {
        step(AlertKind::High, v > f(*h), v <= f(*h - ALERT_HYSTERESIS), *h, 0.0);
    }
    if (const auto l = limits_.low[i]) {
        step(AlertKind::Low, v < f(*l), v >= f(*l + ALERT_HYSTERESIS), *l, 0.0);
    }
    if (const auto c = limits_.change[i]) {
        const float d = f(CircleDistance(v, *first_[i]));
        step(AlertKind::Change, d > f(*c), d <= f(std::max(*c - ALERT_HYSTERESIS, 0.0)), *c, d);
    }
    return out;
}

bool AngleAlerts::Raised(int unit, AlertKind kind) const {
    return unit >= 0 && unit < ALERT_UNITS && raised_[static_cast<size_t>(unit)][Index(kind)];
}

bool AngleAlerts::AnyRaised(int unit) const {
    return Raised(unit, AlertKind::High) || Raised(unit, AlertKind::Low) ||
           Raised(unit, AlertKind::Change);
}

bool AngleAlerts::Enabled() const {
    for (size_t i = 0; i < ALERT_UNITS; ++i) {
        if (limits_.high[i] || limits_.low[i] || limits_.change[i]) {
            return true;
        }
    }
    return false;
}

QString AlertKindName(AlertKind kind) {
    switch (kind) {
    case AlertKind::High:
        return QStringLiteral("high");
    case AlertKind::Low:
        return QStringLiteral("low");
    case AlertKind::Change:
        return QStringLiteral("change");
    }
    return {};
}

QString AlertMessage(const AlertTransition& t) {
    const QString head = UnitName(t.unit);
    const QString limit = KindCaption(t.kind) + QLatin1Char(' ') + Degrees(t.limit) + u'°';
    if (!t.raised) {
        return AlertsTr::tr("%1 警報解除: %2（%3°）").arg(head, limit, FormatFixed3(t.value));
    }
    switch (t.kind) {
    case AlertKind::High:
        return AlertsTr::tr("%1 警報: %2 を超えました（%3°）").arg(head, limit, FormatFixed3(t.value));
    case AlertKind::Low:
        return AlertsTr::tr("%1 警報: %2 を下回りました（%3°）")
            .arg(head, limit, FormatFixed3(t.value));
    case AlertKind::Change:
        return AlertsTr::tr("%1 警報: %2 を超えました（%3°、開始時から %4°）")
            .arg(head, limit, FormatFixed3(t.value), FormatFixed3(t.change));
    }
    return {};
}

QString AlertEventLine(const AlertTransition& t) {
    const QString unit = QString::number(t.unit + 1);
    const QString value = FormatFixed3(t.value);
    if (t.kind == AlertKind::Change) {
        return (t.raised ? AlertsTr::tr("%1台目 警報発生: %2 %3（%4、開始時から %5）")
                         : AlertsTr::tr("%1台目 警報解除: %2 %3（%4、開始時から %5）"))
            .arg(unit, KindWord(t.kind), Degrees(t.limit), value, FormatFixed3(t.change));
    }
    return (t.raised ? AlertsTr::tr("%1台目 警報発生: %2 %3（%4）")
                     : AlertsTr::tr("%1台目 警報解除: %2 %3（%4）"))
        .arg(unit, KindWord(t.kind), Degrees(t.limit), value);
}

QString AlertLimitsDescription(const AlertLimits& limits) {
    QStringList units;
    for (size_t i = 0; i < ALERT_UNITS; ++i) {
        QStringList set;
        const std::array<std::pair<AlertKind, std::optional<double>>, kKinds> all{
            {{AlertKind::High, limits.high[i]},
             {AlertKind::Low, limits.low[i]},
             {AlertKind::Change, limits.change[i]}}};
        for (const auto& [kind, v] : all) {
            if (v) {
                set << KindWord(kind) + QLatin1Char(' ') + Degrees(*v);
            }
        }
        if (!set.isEmpty()) {
            units << QStringLiteral("%1: %2").arg(i + 1).arg(set.join(QStringLiteral(", ")));
        }
    }
    return units.join(QStringLiteral("; "));
}

} // namespace k12
