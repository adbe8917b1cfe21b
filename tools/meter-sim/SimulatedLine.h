#pragma once

#include "PseudoTerminal.h"
#include "SimulatedMeters.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>

// Carries the simulated meters' side of the line: reads requests from the
// pseudo-terminal's master, logs each one, and sends the answers, echoed,
// delayed or split in two as configured.
class SimulatedLine : public QObject {
    Q_OBJECT

public:
    struct Behaviour {
        bool echo = false; // send each request back first, like a 2-wire RS-485 adapter
        int delayMs = 0;   // between a request and its answer
        int splitMs = 0;   // between the two halves of an answer; 0 sends it whole
    };

    // `log` receives one line per request; the line does not own it.
    SimulatedLine(PseudoTerminal &pty, SimulatedMeters &meters, Behaviour behaviour, std::FILE *log,
                  QObject *parent = nullptr);

private:
    struct Piece {
        qint64 dueMs;
        QByteArray bytes;
    };

    void onReadable();
    void handle(const QByteArray &request);
    void logRequest(const QByteArray &request) const;
    void logProcessValue(const QByteArray &request, const QByteArray &answer) const;
    void send(qint64 dueMs, const QByteArray &bytes);
    void sendDue();

    PseudoTerminal &pty;
    SimulatedMeters &meters;
    Behaviour behaviour;
    std::FILE *log;
    QSocketNotifier notifier;
    QTimer sendTimer;
    QElapsedTimer clock;
    QByteArray pending;
    // Pieces waiting for their time, in the order they go out.
    QList<Piece> outgoing;
};
