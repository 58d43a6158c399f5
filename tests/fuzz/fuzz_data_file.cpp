// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the .zr5 parse step: run as fuzz_data_file [corpus dir].
#include "data_files/DataFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto parsed = k12::ParseDataFileBytes(
        QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)),
        QStringLiteral("fuzz"));
    if (auto* content = std::get_if<k12::DataFileContent>(&parsed)) {
        if (content->Rows.empty() || content->Rows.size() > size_t(k12::MAX_SAMPLES) ||
            content->Rows.size() * 16 > size) {
            std::abort();
        }
        k12::MeasurementStore store;
        k12::ApplyDataFile(*content, store);
        if (store.SampleCount != qsizetype(content->Rows.size())) {
            std::abort();
        }
    }
    return 0;
}
