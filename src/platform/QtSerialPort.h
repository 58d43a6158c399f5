// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SerialPort.h"
#include "SettingsStore.h"

#include <QSerialPort>
#include <functional>
#include <memory>

namespace k12 {

// SerialPort over QSerialPort. Works without an event loop: every sleep1ms() pulls what the
// device has received into an own buffer, from which takeChar() takes one byte at a time.
class QtSerialPort final : public SerialPort {
  public:
    // COM number -> device path.
    using DeviceMapper = std::function<QString(int16_t port)>;

    // Maps through key "COM<n>" of section "Ports" in the store, reread from the file at each
    // open(); the store must outlive the port.
    explicit QtSerialPort(SettingsStore& store);
    explicit QtSerialPort(DeviceMapper mapper);
    // Always opens this device, whatever the port number; descriptions name the device only.
    static std::unique_ptr<QtSerialPort> ForDevice(const QString& devicePath);
    ~QtSerialPort() override;

    // DefaultPortDevice() and PortDevice() of PortMap.h.
    static QString DefaultDevice(int16_t port);
    static QString DeviceFor(SettingsStore& store, int16_t port);

    void setPortNumber(int16_t port) override;
    void setSettings(const QString& settings) override;
    void open() override;
    void close() override;
    bool isOpen() const override;

    bool ctsHolding() override;
    int inBufferCount() override;
    char takeChar() override;
    void output(const QByteArray& data) override;
    void sleep1ms() override;
    std::optional<DeviceError> failure() const override;

    // The device the current port number maps to.
    QString devicePath() const;

  private:
    struct LineSettings {
        qint32 baud = 115200;
        QSerialPort::Parity parity = QSerialPort::NoParity;
        QSerialPort::DataBits dataBits = QSerialPort::Data8;
        QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    };

    QString label(const QString& device) const;
    void applySettings();
    void pull();
    void takeReceived();
    void closeDeadPort();
    void noteError(QSerialPort::SerialPortError error);

    DeviceMapper mapper_;
    bool namesComPort_ = true;
    int16_t portNo_ = 0;
    QString openDevice_;
    LineSettings line_;
    QSerialPort port_;
    QByteArray rx_;
    qsizetype rxPos_ = 0;
    std::optional<DeviceError> failure_;
};

} // namespace k12
