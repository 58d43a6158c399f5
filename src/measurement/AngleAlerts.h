// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVarLengthArray>
#include <array>
#include <optional>
#include <variant>

namespace k12 {

inline constexpr int ALERT_UNITS = 4;
// A raised alert clears only this far back inside its limit, so a value hovering at a limit
// does not chatter.
inline constexpr double ALERT_HYSTERESIS = 0.1;

// The alert limits as the settings keep them (section [Alerts], keys High<n>, Low<n>,
// Change<n>): per unit a text in degrees, empty for none.
struct AlertSettings {
    std::array<QString, ALERT_UNITS> High;
    std::array<QString, ALERT_UNITS> Low;
    // Degrees away from the unit's first value of the run, measured on the circle.
    std::array<QString, ALERT_UNITS> Change;

    bool operator==(const AlertSettings&) const = default;
};

enum class AlertKind { High, Low, Change };

// The limits in force, per unit (index 0..3); nullopt: none.
struct AlertLimits {
    std::array<std::optional<double>, ALERT_UNITS> high{};
    std::array<std::optional<double>, ALERT_UNITS> low{};
    std::array<std::optional<double>, ALERT_UNITS> change{};
};

// The limits, or the operator's message naming the first text that is wrong: High and Low
// -180..180 with Low below High, Change above 0 up to 180.
std::variant<AlertLimits, QString> ParseAlertSettings(const AlertSettings& settings);
std::optional<QString> AlertSettingsProblem(const AlertSettings& settings);

// One alert raised or cleared.
struct AlertTransition {
    int unit = 0; // 0..3
    AlertKind kind = AlertKind::High;
    bool raised = false;
    double limit = 0.0;
    // The reading that crossed; for Change also its distance from the first value.
    double value = 0.0;
    double change = 0.0;
};
using AlertTransitions = QVarLengthArray<AlertTransition, 3>;

// Watches the values of a run against the limits. Fed one unit value at a time, it reports each
// alert once when it is raised and once when it clears:
//  High: raised above the limit, cleared at or below limit - 0.1;
//  Low: raised below the limit, cleared at or above limit + 0.1;
//  Change: raised when the value is more than the limit away from the unit's first value of the
//  run on the circle (179 -> -179 is 2), cleared at limit - 0.1 or closer.
// Values are compared as the store keeps them (single precision). A hole changes nothing.
class AngleAlerts {
  public:
    AngleAlerts() = default;
    explicit AngleAlerts(const AlertLimits& limits) : limits_(limits) {}

    // A new run: the first values are forgotten and every alert is down, without reporting it.
    void Reset();
    AlertTransitions Feed(int unit, std::optional<double> value);

    bool Raised(int unit, AlertKind kind) const;
    bool AnyRaised(int unit) const;
    // Any limit set for any unit.
    bool Enabled() const;
    const AlertLimits& Limits() const { return limits_; }

  private:
    AlertLimits limits_;
    std::array<std::optional<float>, ALERT_UNITS> first_{};
    std::array<std::array<bool, 3>, ALERT_UNITS> raised_{};
};

// "high", "low", "change": the kind's name in the feed and the recorder's event lines.
QString AlertKindName(AlertKind kind);
// The window's text for its status line, e.g. "1台目 警報: 上限 10° を超えました（10.213°）".
QString AlertMessage(const AlertTransition& t);
// The recorder's event line, e.g. "unit 1 alert raised: high 10 (10.213)".
QString AlertEventLine(const AlertTransition& t);
// One line of the limits set, e.g. "1: high 10, low -10; 3: change 5"; empty when none.
QString AlertLimitsDescription(const AlertLimits& limits);

} // namespace k12
