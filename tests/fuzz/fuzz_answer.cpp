// Feeds arbitrary received bytes, in arbitrary pieces and with the line
// going quiet at arbitrary points, through the answer assembly after a
// request built from the first input bytes. Besides crashes it checks that
// at most 32 bytes are kept, that an answer whose function code fixes its
// length has exactly that length unless the line went quiet first, that the
// rest of the buffer is zero, and that a complete answer no longer changes.
#include "AnswerAssembler.h"
#include "ModbusFrame.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkAnswer(const AnswerAssembler &assembler, bool quiet)
{
    const std::size_t length = assembler.answerLength();
    const ReceiveBuffer answer = assembler.answer();
    check(length >= 1 && length <= answer.size());
    for (std::size_t i = length; i < answer.size(); ++i)
        check(answer[i] == 0);
    const std::size_t expected = length >= 2 ? AnswerAssembler::expectedLength(answer[1]) : 0;
    if (expected != 0)
        check(quiet ? length <= expected : length == expected);
    ParseResponse(answer);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 6)
        return 0;
    // Bytes 0..4: the request; byte 5: how the rest is cut into pieces.
    const int function = (data[1] & 1) ? Modbus::WriteSingle : Modbus::ReadHolding;
    const ModbusRequest request = BuildRequest(data[0], function, data[2], (data[3] << 8) | data[4]);
    std::uint32_t cuts = data[5] * 2654435761u;
    data += 6;
    size -= 6;

    AnswerAssembler assembler;
    assembler.start(request);
    bool quiet = false;
    bool done = false;
    ReceiveBuffer first{};
    // Input that begins with 0xEE starts with the request's own echo.
    if (size > 0 && data[0] == 0xEE) {
        assembler.feed(request.data(), request.size());
        ++data;
        --size;
    }
    while (size > 0) {
        const std::size_t piece = std::min<std::size_t>(size, 1 + cuts % 9);
        assembler.feed(data, piece);
        data += piece;
        size -= piece;
        if ((cuts >> 8) % 5 == 0) {
            assembler.lineSilent();
            quiet = true;
        }
        cuts = cuts * 1103515245u + 12345u;
        check(assembler.receivedCount() <= first.size());
        if (assembler.state() != AnswerAssembler::State::Complete)
            continue;
        if (!done)
            first = assembler.answer();
        done = true;
        checkAnswer(assembler, quiet);
        check(std::memcmp(first.data(), assembler.answer().data(), first.size()) == 0);
    }
    assembler.lineSilent();
    if (assembler.state() == AnswerAssembler::State::Complete)
        checkAnswer(assembler, true);
    return 0;
}
