#pragma once

#include <QWidget>

#include <array>
#include <optional>

class QLabel;
class QTimer;

// The Caps Lock, Num Lock and Scroll Lock panes of the status bar. Where the
// window system can tell the keyboard LEDs (X11 with XKB) an indicator is
// drawn normally while its lock is on and greyed while it is off; elsewhere
// all three stay greyed and their tooltip says the state is unknown.
class LockKeyIndicators : public QWidget {
    Q_OBJECT

public:
    explicit LockKeyIndicators(QWidget *parent = nullptr);
    ~LockKeyIndicators() override;

    void setLanguage(int language);
    // Caps, Num, Scroll; nothing when the platform cannot tell.
    static std::optional<std::array<bool, 3>> readLocks();

private:
    void refresh();

    std::array<QLabel *, 3> labels{};
    QTimer *poll;
    int language = 0;
};
