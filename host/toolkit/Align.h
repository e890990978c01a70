#pragma once
// Text alignment of table columns; the values are Qt's, so 129 is left and vertically
// centred, 130 right and vertically centred.

#include <QtCore/QFlags>

namespace XP {

enum EAlign {
    AlignLeft = 0x0001,
    AlignRight = 0x0002,
    AlignHCenter = 0x0004,
    AlignTop = 0x0020,
    AlignBottom = 0x0040,
    AlignVCenter = 0x0080,
    AlignCenter = AlignHCenter | AlignVCenter,
};
Q_DECLARE_FLAGS(EAligns, EAlign)

} // namespace XP

Q_DECLARE_OPERATORS_FOR_FLAGS(XP::EAligns)
