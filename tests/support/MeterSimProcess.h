#pragma once

#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <optional>

// The meter simulator (quorvane-meter-sim) as a child process of a test:
// starts it, learns the device path of its pseudo-terminal, collects the
// requests it logs, and stops it.
class MeterSimProcess : public QObject {
    Q_OBJECT

public:
    // One "REQ <usec> <addr> <fn> <reg> <value>" line of the simulator.
    struct Request {
        qint64 usec = 0; // monotonic clock of the simulator
        int address = 0;
        int function = 0;
        int reg = 0;
        int value = 0;
    };

    explicit MeterSimProcess(QObject *parent = nullptr);
    ~MeterSimProcess() override;

    // Path of the simulator binary of this build.
    static QString program();

    // Starts the simulator with `arguments` and waits up to `timeoutMs` for
    // its device path. False (with the reason in errorText()) when it did not
    // come up.
    bool start(const QStringList &arguments = {}, int timeoutMs = 30000);
    // Ends it with SIGTERM; true when it exited cleanly with code 0.
    bool stop(int timeoutMs = 30000);

    QString devicePath() const { return device; }
    // The requests logged so far, in order.
    QList<Request> requests();
    // A process value the simulator answered: the meter and the register's
    // value in tenths.
    struct ProcessValue {
        qint64 usec = 0;
        int address = 0;
        int tenths = 0;
    };
    // The process values answered so far, in order.
    QList<ProcessValue> processValues();
    // One line of the log as a request; nothing for any other line.
    static std::optional<Request> parseRequest(const QByteArray &line);
    // Runs the event loop until at least `count` requests were logged.
    bool waitForRequests(qsizetype count, int timeoutMs = 30000);
    // What the simulator wrote to stderr besides request lines, and why a
    // start failed.
    QString errorText();

    QProcess &process() { return child; }

private:
    void collect();

    QProcess child;
    QString device;
    QString notes;
    QByteArray partialLine;
    QList<Request> logged;
    QList<ProcessValue> answered;
};
