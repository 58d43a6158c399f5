// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <cstring>

namespace k12::test {

inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Builds .zr5 bytes field by field, independently of the writer.
struct ZrBytes {
    QByteArray bytes;

    ZrBytes& u8(uint8_t v) {
        bytes.append(char(v));
        return *this;
    }
    ZrBytes& i16(int16_t v) {
        const auto u = uint16_t(v);
        return u8(u & 0xff).u8(u >> 8);
    }
    ZrBytes& i32(int32_t v) {
        const auto u = uint32_t(v);
        return u8(u & 0xff).u8((u >> 8) & 0xff).u8((u >> 16) & 0xff).u8(u >> 24);
    }
    ZrBytes& f32(float v) {
        int32_t i = 0;
        std::memcpy(&i, &v, 4);
        return i32(i);
    }
    ZrBytes& text(const QByteArray& cp932) {
        i16(int16_t(cp932.size()));
        bytes.append(cp932);
        return *this;
    }
    // A complete header with ASCII texts.
    ZrBytes& header(int16_t timer = -1, int32_t interval = 1000, int32_t count = 0,
                    const QByteArray& start = "2024/3/5 9:7:2") {
        text("RV0100").text(start);
        for (int i = 0; i < 5; ++i) {
            text(QByteArray("memo") + char('1' + i));
        }
        i16(timer).i32(interval).i16(1).i16(2).i16(3).i16(4).i32(count);
        return *this;
    }
    ZrBytes& row(float a, float b, float c, float d) { return f32(a).f32(b).f32(c).f32(d); }
};

} // namespace k12::test
