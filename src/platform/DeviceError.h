// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <exception>

namespace k12 {

// The one error type raised by the unit link and by the serial layer below it:
// a number and a description shown to the operator (in the program's language).
class DeviceError : public std::exception {
public:
    DeviceError(int number, QString description)
        : number_(number), description_(std::move(description)), what_(description_.toUtf8()) {}

    int number() const noexcept { return number_; }
    const QString& description() const noexcept { return description_; }
    const char* what() const noexcept override { return what_.constData(); }

private:
    int number_;
    QString description_;
    QByteArray what_;
};

// Numbers of the serial layer's own errors (the unit link uses 600..605).
namespace serial_error {
inline constexpr int NotFound = 701;         // the device does not exist
inline constexpr int PermissionDenied = 702; // not allowed to open the device
inline constexpr int InUse = 703;            // another program holds the device
inline constexpr int OpenFailed = 704;       // any other failure to open
inline constexpr int BadSettings = 705;      // line settings text not understood
inline constexpr int LineFailed = 706;       // read/write error or hang-up while open
} // namespace serial_error

} // namespace k12
