#include "ComDrv.h"

namespace k12 {

ComDrv::ComDrv(std::unique_ptr<SerialPort> port, QObject* parent)
    : QObject(parent), MSComm1_(std::move(port)) {
    Timer1_.setInterval(100);
    connect(&Timer1_, &QTimer::timeout, this, &ComDrv::OnTimer1);
}

ComDrv::~ComDrv() = default;

} // namespace k12
