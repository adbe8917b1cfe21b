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
        // The wire time of one character in ms: an answer leaves when its
        // last byte would have arrived on a real line, the request's and its
        // own characters after the request was read. 0 sends it at once.
        double characterMs = 0;
        // Requests sent with other line settings than these are not heard,
        // as a meter hears only noise then (see PseudoTerminal::slaveSetTo).
        bool strict = false;
        int baud = 9600;
        char parity = 'N';
        int stopBits = 1;
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
    qint64 wireMs(qsizetype characters) const;
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
