// Colours the palette has no role for, shared by the views that show run results.
#pragma once

#include <QColor>

namespace vantle {

/// A failed result. Qt's palette has no role for errors; this red reads on light and dark
/// bases alike.
inline QColor ErrorColour() {
    return QColor(0xd0, 0x20, 0x20);
}

} // namespace vantle
