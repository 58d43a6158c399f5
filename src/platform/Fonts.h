// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace k12 {

// Font families the program names; on this platform they resolve to the IPA fonts through the
// substitutions registered by RegisterFontSubstitutes().
inline QString PGothicFamily() {
    return QStringLiteral("ＭＳ Ｐゴシック");
}
inline QString GothicFamily() {
    return QStringLiteral("ＭＳ ゴシック");
}
inline QString PMinchoFamily() {
    return QStringLiteral("MS P明朝");
}

// Maps the families above to their installed substitutes. Call once after the QApplication exists
// and before any of these fonts is used; repeated calls are harmless.
void RegisterFontSubstitutes();

} // namespace k12
