#include "MeterSimProcess.h"

#include <QDeadlineTimer>
#include <QTest>

MeterSimProcess::MeterSimProcess(QObject *parent) : QObject(parent)
{
    connect(&child, &QProcess::readyReadStandardError, this, &MeterSimProcess::collect);
}

MeterSimProcess::~MeterSimProcess()
{
    if (child.state() != QProcess::NotRunning)
        stop();
}

QString MeterSimProcess::program()
{
    return QStringLiteral(QUORVANE_METER_SIM);
}

bool MeterSimProcess::start(const QStringList &arguments, int timeoutMs)
{
    child.start(program(), arguments);
    if (!child.waitForStarted(timeoutMs)) {
        notes += child.errorString();
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    while (!child.canReadLine() && child.state() == QProcess::Running && !deadline.hasExpired())
        child.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    if (!child.canReadLine()) {
        collect();
        notes += QStringLiteral("no device path from the simulator");
        return false;
    }
    device = QString::fromLocal8Bit(child.readLine()).trimmed();
    return !device.isEmpty();
}

bool MeterSimProcess::stop(int timeoutMs)
{
    if (child.state() == QProcess::NotRunning)
        return child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    child.terminate();
    if (!child.waitForFinished(timeoutMs)) {
        child.kill();
        child.waitForFinished(timeoutMs);
        return false;
    }
    collect();
    return child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
}

QList<MeterSimProcess::Request> MeterSimProcess::requests()
{
    collect();
    return logged;
}

QList<MeterSimProcess::ProcessValue> MeterSimProcess::processValues()
{
    collect();
    return answered;
}

bool MeterSimProcess::waitForRequests(qsizetype count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return requests().size() >= count; }, timeoutMs);
}

QString MeterSimProcess::errorText()
{
    collect();
    return notes;
}

std::optional<MeterSimProcess::Request> MeterSimProcess::parseRequest(const QByteArray &line)
{
    const QList<QByteArray> fields = line.trimmed().split(' ');
    if (fields.size() != 6 || fields[0] != "REQ")
        return std::nullopt;
    return Request{fields[1].toLongLong(), fields[2].toInt(), fields[3].toInt(), fields[4].toInt(),
                   fields[5].toInt()};
}

void MeterSimProcess::collect()
{
    partialLine += child.readAllStandardError();
    qsizetype end = 0;
    while ((end = partialLine.indexOf('\n')) >= 0) {
        const QByteArray line = partialLine.left(end).trimmed();
        partialLine.remove(0, end + 1);
        const QList<QByteArray> fields = line.split(' ');
        if (const std::optional<Request> request = parseRequest(line)) {
            logged.append(*request);
        } else if (fields.size() == 4 && fields[0] == "ANS") {
            answered.append({fields[1].toLongLong(), fields[2].toInt(), fields[3].toInt()});
        } else {
            notes += QString::fromLocal8Bit(line) + QLatin1Char('\n');
        }
    }
}
