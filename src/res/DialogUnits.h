#pragma once

#include <QFontMetrics>

// Lengths in dialog units (a quarter of the average character width, an
// eighth of the character height), so that a window laid out in them keeps
// its proportions with any font. Header only: for the libraries that make
// windows.
struct DialogUnits {
    explicit DialogUnits(const QFontMetrics &metrics)
        : baseX(metrics.averageCharWidth()), baseY(metrics.height())
    {
    }
    int x(int units) const { return units * baseX / 4; }
    int y(int units) const { return units * baseY / 8; }
    int baseX;
    int baseY;
};
