#pragma once

#include "ModbusFrame.h"

#include <QByteArray>

#include <algorithm>

// Frames as the tests write them: hex text, with or without the check bytes.

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

inline QByteArray withCrc(QByteArray frame)
{
    const auto crc =
        Crc16(reinterpret_cast<const std::uint8_t *>(frame.constData()), std::size_t(frame.size()));
    frame.append(char(crc[0]));
    frame.append(char(crc[1]));
    return frame;
}

inline QByteArray bytesOf(const ModbusRequest &request)
{
    return QByteArray(reinterpret_cast<const char *>(request.data()), qsizetype(request.size()));
}

// The first `length` bytes of a receive buffer (all 32 by default).
inline QByteArray bytesOf(const ReceiveBuffer &buffer, qsizetype length = qsizetype(ReceiveBuffer().size()))
{
    return QByteArray(reinterpret_cast<const char *>(buffer.data()), length);
}

// A receive buffer holding `bytes` (at most 32), zeros after them.
inline ReceiveBuffer bufferOf(const QByteArray &bytes)
{
    ReceiveBuffer buffer{};
    std::copy_n(bytes.begin(), std::min<qsizetype>(bytes.size(), qsizetype(buffer.size())), buffer.begin());
    return buffer;
}
