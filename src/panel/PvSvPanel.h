#pragma once

#include <QFrame>

class Language;
class LineAlarms;
class LiveValueTable;
class Prompts;
class QLabel;
class QMenu;
class QTimer;

// One meter's value panel: the meter address as its caption ("7#", also
// shown as a title strip along the top), the meter's installation position
// as its title, and the meter's live value (PV) as the live-value model has
// it. A meter that the line finds silent shows "----" in a greyed style at
// once, and comes back with its next good value; the tooltip tells the
// meter's line health. The context menu selects the meter and offers reading
// all its parameters, the meter configuration and its alarm limits.
//
// The meter's alarms show in the value box: red for a high or low alarm,
// orange for a lost communication, with the word "HI", "LO" or "COMM" below
// "PV" and the alarm's state in the panel's accessible description. An
// alarm waiting for its acknowledgement blinks until it is acknowledged.
class PvSvPanel : public QFrame {
    Q_OBJECT

public:
    static constexpr int BlinkPeriodMs = 500;

    PvSvPanel(int address, const LiveValueTable &values, const LineAlarms &alarms, const Language &language,
              Prompts &prompts, QWidget *parent = nullptr);

    // The meter address, read back from the leading digits of the caption
    // (0 when there are none).
    int address() const;
    void setPosition(const QString &position);
    QString position() const;
    QString valueText() const { return shownText; }
    bool notAnswering() const { return silent; }
    // The alarm words shown beside PV ("HI", "COMM HI", ...), empty without
    // an alarm.
    QString alarmText() const;
    bool blinking() const;

    // Takes the meter's value from the model; repaints only when the text
    // or the state changed. True when something changed.
    bool refresh();
    // The value text of the meter at `address`: "%.1f" of its live value,
    // "----" when it has stopped answering, empty before it was asked.
    static QString valueTextOf(const LiveValueTable &values, int address);
    // The meter's line health as the tooltip shows it.
    QString healthText() const;

signals:
    // The context menu opened on this panel's meter.
    void meterSelected(int address);
    // A command chosen from the context menu.
    void command(int commandId);

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildMenu();
    int buildAlarmDisplay();
    void applyStyle();
    void showAlarms();
    QString alarmDescription() const;
    void updateStrip();
    void fitValueFont();
    QSize dialogUnits(int x, int y) const;

    const LiveValueTable &values;
    const LineAlarms &alarms;
    const Language &language;
    Prompts &prompts;
    // The meter whose value is shown; the context menu reads the address
    // from the caption, as the panel always has.
    int meter;
    QLabel *captionStrip = nullptr;
    QLabel *title = nullptr;
    QLabel *pvLabel = nullptr;
    QLabel *pvValue = nullptr;
    QLabel *svLabel = nullptr;
    QLabel *svValue = nullptr;
    QLabel *alarmWord = nullptr;
    // Runs only while an alarm of the meter waits for its acknowledgement.
    QTimer *blinkTimer = nullptr;
    bool blinkOn = true;
    // Null until the context menu first opens.
    QMenu *menu = nullptr;
    QString shownText;
    bool silent = false;
    bool compact = false;
};
