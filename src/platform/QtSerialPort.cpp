// SPDX-License-Identifier: GPL-3.0-or-later
#include "QtSerialPort.h"

#include "PortMap.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <chrono>
#include <thread>
#include <unistd.h>

namespace k12 {

namespace {

bool isLineFailure(QSerialPort::SerialPortError error) {
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
           error == QSerialPort::WriteError;
}

} // namespace

QtSerialPort::QtSerialPort(SettingsStore& store)
    : QtSerialPort([&store](int16_t port) { return DeviceFor(store, port); }) {}

QtSerialPort::QtSerialPort(DeviceMapper mapper) : mapper_(std::move(mapper)) {
    QObject::connect(&port_, &QSerialPort::errorOccurred, &port_,
                     [this](QSerialPort::SerialPortError error) { noteError(error); });
}

std::unique_ptr<QtSerialPort> QtSerialPort::ForDevice(const QString& devicePath) {
    auto port = std::make_unique<QtSerialPort>([devicePath](int16_t) { return devicePath; });
    port->namesComPort_ = false;
    return port;
}

QtSerialPort::~QtSerialPort() {
    close();
}

QString QtSerialPort::DefaultDevice(int16_t port) {
    return DefaultPortDevice(port);
}

QString QtSerialPort::DeviceFor(SettingsStore& store, int16_t port) {
    return PortDevice(store, port);
}

void QtSerialPort::setPortNumber(int16_t port) {
    portNo_ = port;
}

QString QtSerialPort::devicePath() const {
    return mapper_(portNo_);
}

QString QtSerialPort::label(const QString& device) const {
    if (!namesComPort_)
        return device;
    return QStringLiteral("COM%1 (%2)").arg(portNo_).arg(device);
}

void QtSerialPort::setSettings(const QString& settings) {
    const QStringList parts = settings.split(QLatin1Char(','));
    const auto bad = [&] {
        return DeviceError(
            serial_error::BadSettings,
            QCoreApplication::translate("SerialPort", "通信設定 \"%1\" が正しくありません。")
                .arg(settings));
    };
    if (parts.size() != 4)
        throw bad();

    LineSettings line;
    bool ok = false;
    line.baud = parts[0].trimmed().toInt(&ok);
    if (!ok || line.baud <= 0)
        throw bad();

    const QString parity = parts[1].trimmed().toLower();
    if (parity == QLatin1String("n"))
        line.parity = QSerialPort::NoParity;
    else if (parity == QLatin1String("e"))
        line.parity = QSerialPort::EvenParity;
    else if (parity == QLatin1String("o"))
        line.parity = QSerialPort::OddParity;
    else
        throw bad();

    const int dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || dataBits < 5 || dataBits > 8)
        throw bad();
    line.dataBits = static_cast<QSerialPort::DataBits>(dataBits);

    const QString stop = parts[3].trimmed();
    if (stop == QLatin1String("1"))
        line.stopBits = QSerialPort::OneStop;
    else if (stop == QLatin1String("2"))
        line.stopBits = QSerialPort::TwoStop;
    else
        throw bad();

    line_ = line;
    if (port_.isOpen())
        applySettings();
}

void QtSerialPort::applySettings() {
    const bool ok = port_.setBaudRate(line_.baud) && port_.setParity(line_.parity) &&
                    port_.setDataBits(line_.dataBits) && port_.setStopBits(line_.stopBits) &&
                    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!ok) {
        const QString reason = port_.errorString();
        port_.clearError();
        throw DeviceError(
            serial_error::BadSettings,
            QCoreApplication::translate("SerialPort", "%1 に通信設定を適用できません (%2)。")
                .arg(label(port_.portName()), reason));
    }
}

void QtSerialPort::open() {
    close();
    const QString device = mapper_(portNo_);
    const QString name = label(device);
    if (device.isEmpty() || !QFileInfo::exists(device))
        throw DeviceError(
            serial_error::NotFound,
            QCoreApplication::translate("SerialPort", "%1 が見つかりません。").arg(name));

    port_.setPortName(device);
    applySettings();
    if (!port_.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = port_.error();
        const QString reason = port_.errorString();
        port_.clearError();
        switch (error) {
        case QSerialPort::DeviceNotFoundError:
            throw DeviceError(
                serial_error::NotFound,
                QCoreApplication::translate("SerialPort", "%1 が見つかりません。").arg(name));
        case QSerialPort::PermissionError:
            // QSerialPort reports a held lock or an exclusive device as a permission error too.
            if (::access(device.toLocal8Bit().constData(), R_OK | W_OK) != 0 && errno == EACCES)
                throw DeviceError(serial_error::PermissionDenied,
                                  QCoreApplication::translate(
                                      "SerialPort", "%1 を開く権限がありません。ユーザーを dialout "
                                                    "グループに追加してください。")
                                      .arg(name));
            throw DeviceError(
                serial_error::InUse,
                QCoreApplication::translate("SerialPort", "%1 は他のプログラムが使用中です。")
                    .arg(name));
        default:
            throw DeviceError(serial_error::OpenFailed,
                              QCoreApplication::translate("SerialPort", "%1 を開けません (%2)。")
                                  .arg(name, reason));
        }
    }
    openDevice_ = device;
    // Characters left over from an earlier session are not replies to anything we send.
    port_.clear();
    port_.clearError();
    rx_.clear();
    rxPos_ = 0;
    failure_.reset();
}

void QtSerialPort::close() {
    if (port_.isOpen())
        port_.close();
    port_.clearError();
    openDevice_.clear();
    rx_.clear();
    rxPos_ = 0;
    failure_.reset();
}

bool QtSerialPort::isOpen() const {
    return !openDevice_.isEmpty();
}

void QtSerialPort::noteError(QSerialPort::SerialPortError error) {
    if (failure_ || openDevice_.isEmpty() || !isLineFailure(error))
        return;
    failure_ =
        DeviceError(serial_error::LineFailed,
                    QCoreApplication::translate("SerialPort", "%1 との通信が切断されました。")
                        .arg(label(openDevice_)));
    // A hung-up device keeps reporting readiness to the event loop; stop listening to it once
    // the current notification is over.
    QMetaObject::invokeMethod(
        &port_,
        [this] {
            if (failure_ && port_.isOpen())
                closeDeadPort();
        },
        Qt::QueuedConnection);
}

bool QtSerialPort::ctsHolding() {
    if (!port_.isOpen())
        return false;
    const QSerialPort::PinoutSignals lines = port_.pinoutSignals();
    if (port_.error() != QSerialPort::NoError) {
        // Pseudo-terminals and some adapters cannot report modem lines.
        port_.clearError();
        return true;
    }
    return lines.testFlag(QSerialPort::ClearToSendSignal);
}

void QtSerialPort::pull() {
    if (failure_ && port_.isOpen()) {
        // A hung-up device keeps reporting readiness; stop listening to it.
        closeDeadPort();
    }
    if (!port_.isOpen())
        return;
    if (port_.bytesAvailable() == 0 && !port_.waitForReadyRead(0) &&
        port_.error() == QSerialPort::TimeoutError)
        port_.clearError();
    takeReceived();
}

void QtSerialPort::takeReceived() {
    if (port_.bytesAvailable() > 0) {
        if (rxPos_ == rx_.size()) {
            rx_.clear();
            rxPos_ = 0;
        }
        rx_.append(port_.readAll());
    }
}

void QtSerialPort::closeDeadPort() {
    // What arrived before the line failed is still the unit's data.
    takeReceived();
    port_.close();
}

int QtSerialPort::inBufferCount() {
    if (rxPos_ == rx_.size())
        pull();
    return int(rx_.size() - rxPos_);
}

char QtSerialPort::takeChar() {
    if (rxPos_ == rx_.size())
        return '\0';
    return rx_.at(rxPos_++);
}

void QtSerialPort::output(const QByteArray& data) {
    if (failure_ || !port_.isOpen())
        return;
    port_.write(data);
    if (!port_.waitForBytesWritten(100) && port_.error() == QSerialPort::TimeoutError)
        port_.clearError();
}

void QtSerialPort::sleep1ms() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    pull();
}

std::optional<DeviceError> QtSerialPort::failure() const {
    return failure_;
}

} // namespace k12
