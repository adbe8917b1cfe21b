#include "ModbusTcpTransport.h"

#include "ModbusFrame.h"

namespace {

// MBAP header: transaction id, protocol id, length (2 bytes each, high byte
// first), unit id. The length counts the unit id and the PDU.
constexpr qsizetype kHeaderSize = 7;
constexpr int kMaxLength = 254; // unit id + the longest PDU (253)
constexpr int kMinLength = 2;   // unit id + function code

std::uint16_t word(const QByteArray &bytes, qsizetype at)
{
    return std::uint16_t((std::uint8_t(bytes[at]) << 8) | std::uint8_t(bytes[at + 1]));
}

void appendWord(QByteArray &bytes, std::uint16_t value)
{
    bytes.append(char(value >> 8));
    bytes.append(char(value & 0xFF));
}

std::array<std::uint8_t, 2> crcOf(const QByteArray &bytes, qsizetype length)
{
    return Crc16(reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(length));
}

} // namespace

bool ModbusTcpTransport::writeFrame(const QByteArray &frame)
{
    if (frame.size() < 4)
        return false;
    const qsizetype body = frame.size() - 2;
    const auto crc = crcOf(frame, body);
    if (std::uint8_t(frame[body]) != crc[0] || std::uint8_t(frame[body + 1]) != crc[1])
        return false;
    const QByteArray pdu = frame.mid(1, body - 1);
    const std::uint16_t transaction = std::uint16_t(lastTransaction + 1);
    QByteArray adu;
    appendWord(adu, transaction);
    appendWord(adu, 0);
    appendWord(adu, std::uint16_t(1 + pdu.size()));
    adu.append(frame[0]);
    adu.append(pdu);
    if (!send(adu))
        return false;
    lastTransaction = transaction;
    awaited = transaction;
    return true;
}

bool ModbusTcpTransport::inputPending() const
{
    return TcpTransport::inputPending() || (awaited && !pending.isEmpty());
}

void ModbusTcpTransport::received(const QByteArray &bytes)
{
    pending += bytes;
    while (pending.size() >= kHeaderSize) {
        const int length = word(pending, 4);
        if (word(pending, 2) != 0 || length < kMinLength || length > kMaxLength) {
            // Not a header: the stream is out of step. Start again with the
            // next segment, which begins the next answer.
            pending.clear();
            emit streamBroken();
            return;
        }
        const qsizetype size = kHeaderSize - 1 + length;
        if (pending.size() < size)
            return;
        const QByteArray adu = pending.left(size);
        pending.remove(0, size);
        takeAdu(adu);
    }
}

void ModbusTcpTransport::takeAdu(const QByteArray &adu)
{
    const std::uint16_t transaction = word(adu, 0);
    if (!awaited || *awaited != transaction) {
        emit lateAnswerDropped(transaction);
        return;
    }
    awaited.reset();
    QByteArray rtu = adu.mid(kHeaderSize - 1); // unit id + PDU
    const auto function = std::uint8_t(rtu[1]);
    if ((function & Modbus::ExceptionFlag) && rtu.size() == 3) {
        const auto code = std::uint8_t(rtu[2]);
        if (code == GatewayPathUnavailable || code == GatewayTargetFailed) {
            emit gatewayNoAnswer(std::uint8_t(rtu[0]), code);
            return;
        }
    }
    const auto crc = crcOf(rtu, rtu.size());
    rtu.append(char(crc[0]));
    rtu.append(char(crc[1]));
    deliver(rtu);
}

void ModbusTcpTransport::resetStream()
{
    pending.clear();
    awaited.reset();
}

void ModbusTcpTransport::discardStream(const QByteArray &unread)
{
    // The unread bytes still go through the framing, so that the stream
    // stays in step; with no request outstanding every answer in them, and
    // the rest of one that is only partly here, is dropped when whole.
    awaited.reset();
    received(unread);
}
