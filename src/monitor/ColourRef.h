#pragma once

#include <QColor>

// Colours as the settings file stores them: 0x00BBGGRR, red in the low byte.
inline QColor fromColourRef(quint32 value)
{
    return QColor(value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff);
}

inline quint32 toColourRef(const QColor &colour)
{
    return static_cast<quint32>(colour.red()) | static_cast<quint32>(colour.green()) << 8 |
           static_cast<quint32>(colour.blue()) << 16;
}
