#include "SimulatedMeters.h"

#include "ModbusFrame.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int kIllegalFunction = 0x01;
constexpr int kIllegalDataAddress = 0x02;
constexpr int kIllegalDataValue = 0x03;
constexpr int kDeviceFailure = 0x04;

const std::uint8_t *raw(const QByteArray &bytes)
{
    return reinterpret_cast<const std::uint8_t *>(bytes.constData());
}

QByteArray withCrc(QByteArray frame)
{
    const auto crc = Crc16(raw(frame), std::size_t(frame.size()));
    frame.append(char(crc[0]));
    frame.append(char(crc[1]));
    return frame;
}

// The parameter index of a register, or -1 for no parameter register.
int parameterIndex(int reg)
{
    if (reg < 0 || reg % 2 != 0 || reg / 2 >= SimulatedMeters::ParameterCount)
        return -1;
    return reg / 2;
}

} // namespace

SimulatedMeters::SimulatedMeters(int firstAddress, int lastAddress) : first(firstAddress), last(lastAddress)
{
}

void SimulatedMeters::setParameterDefaults(const Parameters &values)
{
    parameters.fill(values);
}

void SimulatedMeters::setParameter(int address, int k, std::int16_t value)
{
    parameters[std::size_t(address & 0xFF)][std::size_t(k)] = value;
}

bool SimulatedMeters::takeAnswer(int address)
{
    const auto left = answersLeft.find(address);
    if (left == answersLeft.end())
        return true;
    if (*left == 0)
        return false;
    --*left;
    return true;
}

std::int16_t SimulatedMeters::parameter(int address, int k) const
{
    return parameters[std::size_t(address & 0xFF)][std::size_t(k)];
}

std::int16_t SimulatedMeters::processValue(int address, double seconds)
{
    // Each meter its own curve: a centre between -25.0 and 50.0, a swing of
    // 15.0 to 31.0 and a period of 30 to 65 s, shifted in phase by address.
    const double centre = ((address % 4) - 1) * 250.0;
    const double swing = 150.0 + 40.0 * (address % 5);
    const double period = 30.0 + 7.0 * (address % 6);
    const double phase = 0.9 * address;
    const double value = centre + swing * std::sin(2.0 * std::numbers::pi * seconds / period + phase);
    return std::int16_t(std::lround(std::clamp(value, -32768.0, 32767.0)));
}

QByteArray SimulatedMeters::answer(const QByteArray &request, double seconds)
{
    if (request.size() != 8)
        return {};
    const int address = std::uint8_t(request[0]);
    const int function = std::uint8_t(request[1]);
    const int reg = (std::uint8_t(request[2]) << 8) | std::uint8_t(request[3]);
    const int value = (std::uint8_t(request[4]) << 8) | std::uint8_t(request[5]);
    if (!answers(address) || !takeAnswer(address))
        return {};
    QByteArray frame;
    if (refusing.contains(address) || (function == Modbus::WriteSingle && readOnly.contains(address)))
        frame = exception(address, function, kDeviceFailure);
    else if (function == Modbus::ReadHolding)
        frame = readAnswer(address, reg, value, seconds);
    else if (function == Modbus::WriteSingle)
        frame = writeAnswer(request, address, reg, value);
    else
        frame = exception(address, function, kIllegalFunction);
    frame = withCrc(frame);
    if (badCrc.contains(address))
        frame[frame.size() - 1] = char(frame.back() ^ 0xFF);
    return frame;
}

QList<QByteArray> SimulatedMeters::takeRequests(QByteArray &pending)
{
    QList<QByteArray> requests;
    qsizetype start = 0;
    while (pending.size() - start >= 8) {
        const auto crc = Crc16(raw(pending) + start, 6);
        if (std::uint8_t(pending[start + 6]) == crc[0] && std::uint8_t(pending[start + 7]) == crc[1]) {
            requests.append(pending.mid(start, 8));
            start += 8;
        } else {
            ++start;
        }
    }
    pending.remove(0, start);
    return requests;
}

bool SimulatedMeters::answers(int address) const
{
    return address >= first && address <= last && !silent.contains(address);
}

QByteArray SimulatedMeters::readAnswer(int address, int reg, int quantity, double seconds) const
{
    if (quantity != 1)
        return exception(address, Modbus::ReadHolding, kIllegalDataValue);
    int value = 0;
    if (reg == ProcessValueRegister)
        value = fixedValues.value(address, processValue(address, seconds));
    else if (const int k = parameterIndex(reg); k >= 0)
        value = parameter(address, k);
    else
        return exception(address, Modbus::ReadHolding, kIllegalDataAddress);
    const auto word = std::uint16_t(value);
    QByteArray frame;
    frame.append(char(address));
    frame.append(char(Modbus::ReadHolding));
    frame.append(char(2));
    frame.append(char(word >> 8));
    frame.append(char(word & 0xFF));
    return frame;
}

QByteArray SimulatedMeters::writeAnswer(const QByteArray &request, int address, int reg, int value)
{
    const int k = parameterIndex(reg);
    if (k < 0)
        return exception(address, Modbus::WriteSingle, kIllegalDataAddress);
    parameters[std::size_t(address)][std::size_t(k)] = std::int16_t(std::uint16_t(value));
    // A write is answered by repeating it.
    return request.left(6);
}

QByteArray SimulatedMeters::exception(int address, int function, int code)
{
    QByteArray frame;
    frame.append(char(address));
    frame.append(char((function | Modbus::ExceptionFlag) & 0xFF));
    frame.append(char(code));
    return frame;
}
