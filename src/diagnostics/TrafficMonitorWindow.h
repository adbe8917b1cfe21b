#pragma once

#include "LineFrame.h"

#include <QMetaObject>
#include <QWidget>

class Language;
class MeterLine;
class Prompts;
class QComboBox;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class TrafficLog;

// A tool window with every frame on the line as it passes. It follows the
// line only while shown and not paused, so a closed monitor costs the poll
// nothing. The lines can be cleared, narrowed to one meter and saved as
// text; the view keeps to the newest line unless the user scrolled up.
class TrafficMonitorWindow : public QWidget {
    Q_OBJECT

public:
    TrafficMonitorWindow(MeterLine &line, const Language &language, Prompts &prompts,
                         QWidget *parent = nullptr);
    ~TrafficMonitorWindow() override;

    TrafficLog &log() { return *lines; }
    // The lines shown, in order, one a line with tab-separated columns.
    QString text() const;
    // Writes text() to `path`; false, told to the user with the reason, when
    // the file cannot be written.
    bool saveTo(const QString &path);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void follow(bool on);
    void retranslate();
    void filterMeter();
    void save();

    MeterLine &line;
    const Language &language;
    Prompts &prompts;
    TrafficLog *lines = nullptr;
    QSortFilterProxyModel *shown = nullptr;
    QTableView *table = nullptr;
    QComboBox *meterFilter = nullptr;
    QPushButton *pauseButton = nullptr;
    QPushButton *clearButton = nullptr;
    QPushButton *saveButton = nullptr;
    QMetaObject::Connection following;
    bool followNewest = true;
};
