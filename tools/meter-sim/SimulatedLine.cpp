#include "SimulatedLine.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>

SimulatedLine::SimulatedLine(PseudoTerminal &terminal, SimulatedMeters &simulated, Behaviour how,
                             std::FILE *logFile, QObject *parent)
    : QObject(parent), pty(terminal), meters(simulated), behaviour(how), log(logFile),
      notifier(terminal.masterFd(), QSocketNotifier::Read)
{
    sendTimer.setSingleShot(true);
    sendTimer.setTimerType(Qt::PreciseTimer);
    connect(&notifier, &QSocketNotifier::activated, this, &SimulatedLine::onReadable);
    connect(&sendTimer, &QTimer::timeout, this, &SimulatedLine::sendDue);
    clock.start();
}

void SimulatedLine::onReadable()
{
    pending += pty.readAvailable();
    for (const QByteArray &request : SimulatedMeters::takeRequests(pending))
        handle(request);
}

void SimulatedLine::handle(const QByteArray &request)
{
    if (behaviour.strict && !pty.slaveSetTo(behaviour.baud, behaviour.parity, behaviour.stopBits))
        return;
    logRequest(request);
    const qint64 now = clock.elapsed();
    if (behaviour.echo)
        send(now, request);
    const QByteArray answer = meters.answer(request, double(now) / 1000.0);
    if (answer.isEmpty())
        return;
    logProcessValue(request, answer);
    const qint64 due = now + behaviour.delayMs + wireMs(request.size() + answer.size());
    if (behaviour.splitMs <= 0) {
        send(due, answer);
        return;
    }
    const qsizetype half = answer.size() / 2;
    send(due, answer.left(half));
    send(due + behaviour.splitMs, answer.mid(half));
}

// One line per request for whoever measures the line from the meters' side:
// "REQ <usec> <addr> <fn> <reg> <value>", usec on the monotonic clock.
void SimulatedLine::logRequest(const QByteArray &request) const
{
    if (!log)
        return;
    const auto usec = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count();
    const auto byte = [&request](int i) { return int(std::uint8_t(request[i])); };
    std::fprintf(log, "REQ %" PRId64 " %d %d %d %d\n", std::int64_t(usec), byte(0), byte(1),
                 byte(2) * 256 + byte(3), byte(4) * 256 + byte(5));
    std::fflush(log);
}

// "ANS <usec> <addr> <value>" for every answer with a process value, the
// value as the register holds it (tenths): what a recording of the line
// must find.
void SimulatedLine::logProcessValue(const QByteArray &request, const QByteArray &answer) const
{
    const auto byte = [](const QByteArray &frame, int i) { return int(std::uint8_t(frame[i])); };
    if (!log || request.size() < 6 || answer.size() < 5 || byte(request, 1) != 3 || byte(answer, 1) != 3 ||
        byte(request, 2) * 256 + byte(request, 3) != SimulatedMeters::ProcessValueRegister)
        return;
    const auto usec = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count();
    const int value = std::int16_t(std::uint16_t(byte(answer, 3) * 256 + byte(answer, 4)));
    std::fprintf(log, "ANS %" PRId64 " %d %d\n", std::int64_t(usec), byte(answer, 0), value);
    std::fflush(log);
}

qint64 SimulatedLine::wireMs(qsizetype characters) const
{
    return std::llround(double(characters) * behaviour.characterMs);
}

void SimulatedLine::send(qint64 dueMs, const QByteArray &bytes)
{
    // Pieces never overtake each other: an answer waits for the ones before.
    if (!outgoing.isEmpty())
        dueMs = std::max(dueMs, outgoing.last().dueMs);
    outgoing.append({dueMs, bytes});
    sendDue();
}

void SimulatedLine::sendDue()
{
    const qint64 now = clock.elapsed();
    while (!outgoing.isEmpty() && outgoing.first().dueMs <= now) {
        if (!pty.write(outgoing.first().bytes))
            std::fprintf(stderr, "meter-sim: write to the line failed\n");
        outgoing.removeFirst();
    }
    if (!outgoing.isEmpty())
        sendTimer.start(int(outgoing.first().dueMs - now));
}
