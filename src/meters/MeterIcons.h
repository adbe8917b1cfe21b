#pragma once

#include <QIcon>
#include <QPixmap>

// The two small meter pictures of the meter manager's tree, drawn by the
// program: icon 0 for an item as it normally shows, icon 1 for the selected
// item. Each is 16 × 16 logical pixels and is drawn at the device pixel ratio
// asked for, so it stays crisp on a high-density screen.
class MeterIcons {
public:
    static constexpr int kSize = 16;
    static constexpr int kNormal = 0;
    static constexpr int kSelected = 1;

    // Icon `index` (kNormal or kSelected) for the given device pixel ratio.
    static QPixmap pixmap(int index, qreal devicePixelRatio);
    // Icon 0 in the Normal mode and icon 1 in the Selected mode, each at
    // ratio 1, 2 and the given one.
    static QIcon treeIcon(qreal devicePixelRatio = 1.0);
};
