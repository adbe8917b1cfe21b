#pragma once

#include "TcpTransport.h"

#include <cstdint>
#include <optional>

// Modbus TCP to a gateway: each RTU request goes out as an MBAP header
// (transaction id, protocol 0, length, unit id = the meter address) and the
// PDU, and the answer to it comes back as an RTU frame (address, PDU, CRC),
// so that the layer above sees the answer a serial line would have carried.
//
// Only the answer to the outstanding request is handed on: a late answer to
// an earlier one, and anything after the answer, is dropped. A gateway's
// exception 0x0A (no path) or 0x0B (the target did not answer) means the
// meter did not answer; it is dropped so that the line counts a missing
// answer, and reported by gatewayNoAnswer().
class ModbusTcpTransport : public TcpTransport {
    Q_OBJECT

public:
    static constexpr std::uint8_t GatewayPathUnavailable = 0x0A;
    static constexpr std::uint8_t GatewayTargetFailed = 0x0B;

    using TcpTransport::TcpTransport;

    // False for a frame too short for address and function, or with a bad
    // CRC: nothing is sent.
    bool writeFrame(const QByteArray &frame) override;
    // Also true while part of the awaited answer has arrived.
    bool inputPending() const override;

    // The transaction id of the last request sent.
    std::uint16_t transactionId() const { return lastTransaction; }

signals:
    // The gateway answered for `address` that the meter did not answer
    // (`code` 0x0A or 0x0B).
    void gatewayNoAnswer(int address, int code);
    // An answer came that answers no outstanding request (a late one).
    void lateAnswerDropped(int transactionId);
    // The bytes did not start with a valid header; what was buffered was
    // dropped.
    void streamBroken();

protected:
    void received(const QByteArray &bytes) override;
    void resetStream() override;
    void discardStream(const QByteArray &unread) override;

private:
    void takeAdu(const QByteArray &adu);

    QByteArray pending; // wire bytes of an answer not yet whole
    std::uint16_t lastTransaction = 0;
    std::optional<std::uint16_t> awaited;
};
