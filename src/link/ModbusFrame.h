#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Modbus RTU frames of the two functions the master speaks: 0x03 (read one
// holding register) and 0x06 (write one register).
namespace Modbus {
inline constexpr std::uint8_t ReadHolding = 0x03;
inline constexpr std::uint8_t WriteSingle = 0x06;
inline constexpr std::uint8_t ExceptionFlag = 0x80;
inline constexpr int LiveValueRegister = 200;
inline constexpr int MeterCount = 64;
} // namespace Modbus

using ModbusRequest = std::array<std::uint8_t, 8>;
// The receive buffer handed from the link to the answer handling: the bytes
// of one answer, the rest zero.
using ReceiveBuffer = std::array<std::uint8_t, 32>;

struct ParsedResponse {
    int address = 0;          // byte 0, the responding meter
    int function = 0;         // byte 1
    std::uint16_t value = 0;  // bytes 3..4, high byte first
    bool crcValid = false;    // CRC over bytes 0..4 equals bytes 5..6
};

// CRC-16/MODBUS of `length` bytes, as the two check bytes in transmission
// order (low-order byte of the CRC register first).
std::array<std::uint8_t, 2> Crc16(const std::uint8_t *data, std::size_t length);

// The 8-byte request. Only the low 8 bits of the address and the register are
// sent (the register's high byte is always 0); a read ignores `value` and
// asks for one register.
ModbusRequest BuildRequest(int address, int function, int reg, int value);

// Reads a read answer out of the receive buffer; see ParsedResponse.
ParsedResponse ParseResponse(const ReceiveBuffer &buffer);

// A Modbus exception answer: address, function | 0x80, exception code and
// the CRC over those three bytes.
bool IsExceptionAnswer(const ReceiveBuffer &buffer);

// A read answer of one register whose CRC holds.
bool IsGoodReadAnswer(const ReceiveBuffer &buffer);
