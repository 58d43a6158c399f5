#include "ModuleData.h"

namespace k12 {

ModuleData::ModuleData(SerialPortFactory portFactory, MessageBox& messages)
    : portFactory_(std::move(portFactory)), messages_(messages) {}

} // namespace k12
