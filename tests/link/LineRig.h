#pragma once

#include "ParameterData.h"
#include "RecordingPrompts.h"
#include "SchedulerHost.h"
#include "SerialLink.h"
#include "TransactionScheduler.h"

#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QStringList>

// The line as the main window runs it, without the window: a serial link on
// a device, the scheduler, and a host whose line timers are real timers of
// this object. Prompts are recorded; the progress window and the parameter
// dialog are recorded as flags and displays.
class LineRig : public QObject, public SchedulerHost {
    Q_OBJECT

public:
    LineRig(const QString &device, const QString &dataDirectory, int meterType);

    // Opens and configures the port (9600 8N1) and starts the poll of the
    // address range.
    bool startMonitoring(int startAddress, int endAddress, int samplingMs);

    void startTimer(int id, int periodMs) override;
    void stopTimer(int id) override;
    void setStatusText(const QString &text) override { statusTexts.append(text); }
    Prompts &prompts() override { return recordedPrompts; }
    int language() const override { return 1; }
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    void createProgress() override { progress = true; }
    bool progressExists() const override { return progress; }
    void destroyProgress() override { progress = false; }
    void setProgressRange(int, int) override {}
    void setProgressPos(int) override {}
    void setProgressText(const QString &, int) override {}
    bool parameterDialogExists() const override { return false; }
    void showParameters(const ParameterDisplay &display) override { shown.append(display); }
    int meterType() const override { return type; }
    QString dataDirectory() const override { return directory; }

    SerialLink link;
    TransactionScheduler scheduler{link, *this};
    RecordingPrompts recordedPrompts;
    QStringList statusTexts;
    QList<ParameterDisplay> shown;
    bool progress = false;
    // The longest a single timer tick or answer took on the event loop, in
    // microseconds.
    qint64 longestHandlerUsec = 0;

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void onAnswer();
    void account(const QElapsedTimer &handler);

    QString directory;
    int type;
    QMap<int, int> qtTimerOf; // line timer id -> QObject timer id
};
