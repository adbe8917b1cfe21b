#include "LiveValueTable.h"

#include <algorithm>

namespace {
// Meters below this address start marked as not answering, the rest
// answering at 0.0.
constexpr int kFirstUnmarkedMeter = 25;
const MeterHealth kNoHealth;
} // namespace

LiveValueTable::LiveValueTable(QObject *parent) : QObject(parent)
{
    for (int address = 0; address < Modbus::MeterCount; ++address) {
        answeringNow[address] = address >= kFirstUnmarkedMeter;
        table[address] = answeringNow[address] ? 0.0 : NoAnswer;
    }
}

double LiveValueTable::value(int address) const
{
    return isMeter(address) ? table[address] : NoAnswer;
}

const MeterHealth &LiveValueTable::health(int address) const
{
    return isMeter(address) ? meterHealth[address] : kNoHealth;
}

bool LiveValueTable::answering(int address) const
{
    return isMeter(address) && answeringNow[address];
}

void LiveValueTable::store(int address, double value)
{
    if (!isMeter(address))
        return;
    table[address] = value;
    answeringNow[address] = true;
    reading = {address, value};
    emit valueStored(address, value);
}

void LiveValueTable::markNotAnswering(int address)
{
    if (!isMeter(address))
        return;
    table[address] = NoAnswer;
    answeringNow[address] = false;
    emit markedNotAnswering(address);
}

template <typename Change> void LiveValueTable::changeHealth(int address, Change change)
{
    if (!isMeter(address))
        return;
    change(meterHealth[address]);
    emit healthChanged(address);
}

void LiveValueTable::countAnswer(int address, int responseMs, const QDateTime &when)
{
    changeHealth(address, [&](MeterHealth &h) {
        ++h.answers;
        h.lastResponseMs = responseMs;
        h.lastGoodAnswer = when;
        if (responseMs >= 0) {
            h.totalResponseMs += responseMs;
            ++h.timedAnswers;
            h.maxResponseMs = std::max(h.maxResponseMs, responseMs);
        }
    });
}

void LiveValueTable::countMissing(int address)
{
    changeHealth(address, [](MeterHealth &h) { ++h.missing; });
}

void LiveValueTable::countGarbage(int address)
{
    changeHealth(address, [](MeterHealth &h) { ++h.garbage; });
}

void LiveValueTable::countException(int address)
{
    changeHealth(address, [](MeterHealth &h) { ++h.exceptions; });
}

void LiveValueTable::resetHealth()
{
    meterHealth.fill(MeterHealth{});
    emit healthReset();
}

void LiveValueTable::setHealth(int address, const MeterHealth &health)
{
    changeHealth(address, [&](MeterHealth &h) { h = health; });
}
