// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FakeSerialPort.h"
#include "unit_link/ComDrv.h"

#include <QTest>
#include <memory>

namespace k12::test {

// A driver wired to a scripted fake port.
struct ComDrvRig {
    ComDrvRig() {
        auto owned = std::make_unique<FakeSerialPort>();
        port = owned.get();
        drv = std::make_unique<ComDrv>(std::move(owned));
    }

    // Opens the link on `com` with the unit answering the probe.
    void open(int16_t com = 3) {
        port->reply("", "OK\r\n");
        drv->DevOpen(com);
    }

    // Opens and starts logging at `interval` readings per logged value.
    void startLogging(int16_t interval) {
        open();
        port->reply("RUN00", "OK\r\n");
        drv->LogStart(interval);
    }

    FakeSerialPort* port = nullptr; // owned by drv
    std::unique_ptr<ComDrv> drv;
};

} // namespace k12::test

// Runs `expr` and checks that it raises a DeviceError with this number and description.
#define K12_EXPECT_DEVICE_ERROR(expr, num, text)                                                   \
    do {                                                                                           \
        try {                                                                                      \
            expr;                                                                                  \
        } catch (const k12::DeviceError& e_) {                                                     \
            QCOMPARE(e_.number(), num);                                                            \
            QCOMPARE(e_.description(), QString(text));                                             \
            break;                                                                                 \
        }                                                                                          \
        QFAIL("no DeviceError raised by " #expr);                                                  \
    } while (false)
