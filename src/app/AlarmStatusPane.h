#pragma once

#include <QLabel>

class Language;
class LineAlarms;

// The status bar's count of the line's alarms: how many are active and how
// many wait for their acknowledgement, or that there are none. A plain label,
// so that a screen reader reads it as shown.
class AlarmStatusPane : public QLabel {
    Q_OBJECT

public:
    AlarmStatusPane(const LineAlarms &alarms, const Language &language, QWidget *parent = nullptr);

    // The text for `active` and `unacknowledged` alarms in `language`.
    static QString countText(int active, int unacknowledged, int language);

private:
    void refresh();

    const LineAlarms &alarms;
    const Language &language;
};
