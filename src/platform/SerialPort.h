// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DeviceError.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace k12 {

// What the unit driver needs of a serial port, and nothing more.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    virtual void setPortNumber(int16_t port) = 0;
    // Line settings such as "115200,n,8,1"; throws DeviceError (BadSettings) on a text it cannot
    // apply.
    virtual void setSettings(const QString& settings) = 0;
    // Throws DeviceError with a description naming the COM number and the device.
    virtual void open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // A device that cannot report modem lines counts as CTS asserted.
    virtual bool ctsHolding() = 0;
    virtual int inBufferCount() = 0;
    // Takes one received character; only called when inBufferCount() > 0.
    virtual char takeChar() = 0;
    virtual void output(const QByteArray& data) = 0;

    // One polling cycle's sleep; afterwards the port pulls what it has received.
    virtual void sleep1ms() = 0;

    // Set once the open port has failed (read or write error, hang-up); stays set until close().
    virtual std::optional<DeviceError> failure() const = 0;
};

} // namespace k12
