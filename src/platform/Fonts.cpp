// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Fonts.h"

#include <QFont>
#include <QStringList>

namespace k12 {

void RegisterFontSubstitutes() {
    const struct {
        QString family;
        QString substitute;
    } pairs[] = {
        {PGothicFamily(), QStringLiteral("IPAPGothic")},
        {GothicFamily(), QStringLiteral("IPAGothic")},
        {PMinchoFamily(), QStringLiteral("IPAPMincho")},
    };
    for (const auto& p : pairs) {
        if (!QFont::substitutes(p.family).contains(p.substitute)) {
            QFont::insertSubstitution(p.family, p.substitute);
        }
    }
}

} // namespace k12
