#include "AnswerAssembler.h"

#include <algorithm>

void AnswerAssembler::start(const ModbusRequest &newRequest)
{
    reset();
    request = newRequest;
    active = true;
}

void AnswerAssembler::reset()
{
    bytes.fill(0);
    count = 0;
    answerStart = 0;
    answerSize = 0;
    active = false;
    complete = false;
}

AnswerAssembler::State AnswerAssembler::feed(const std::uint8_t *data, std::size_t length)
{
    if (!active || complete)
        return state();
    const std::size_t taken = std::min(length, bytes.size() - count);
    std::copy_n(data, taken, bytes.begin() + std::ptrdiff_t(count));
    count += taken;
    evaluate(false);
    return state();
}

AnswerAssembler::State AnswerAssembler::lineSilent()
{
    if (active && !complete)
        evaluate(true);
    return state();
}

ReceiveBuffer AnswerAssembler::answer() const
{
    ReceiveBuffer out{};
    const std::size_t length = complete ? answerSize : count - answerStart;
    std::copy_n(bytes.begin() + std::ptrdiff_t(answerStart), length, out.begin());
    return out;
}

std::size_t AnswerAssembler::expectedLength(std::uint8_t function)
{
    switch (function) {
    case Modbus::ReadHolding:
        return 7;
    case Modbus::WriteSingle:
        return 8;
    case Modbus::ReadHolding | Modbus::ExceptionFlag:
    case Modbus::WriteSingle | Modbus::ExceptionFlag:
        return 5;
    default:
        return 0;
    }
}

// Decides from all bytes so far where the answer starts and whether it is
// whole. `silent` tells that no more bytes are coming for now.
void AnswerAssembler::evaluate(bool silent)
{
    if (count == 0)
        return;
    answerStart = 0;
    if (startsWithRequest(0)) {
        // A write's answer is a copy of the write: one copy alone may be the
        // answer or an echo still waiting for a meter that answers late;
        // only further bytes, or the owner at the end of the answer time,
        // tell which.
        if (isLoneWriteCopy())
            return;
        answerStart = request.size();
    } else if (isPrefixOfRequest(0)) {
        // Possibly an echo still arriving; a read answer also begins with the
        // request's address and function code.
        if (silent)
            finish(0, count);
        return;
    }
    const std::size_t rest = count - answerStart;
    if (rest == 0)
        return; // the echo alone: the meter has yet to answer
    const std::size_t expected = rest >= 2 ? expectedLength(bytes[answerStart + 1]) : 0;
    if (expected != 0 && rest >= expected)
        finish(answerStart, expected);
    else if (silent || count == bytes.size())
        finish(answerStart, rest);
}

AnswerAssembler::State AnswerAssembler::acceptLoneCopy()
{
    if (active && !complete && isLoneWriteCopy())
        finish(0, count);
    return state();
}

bool AnswerAssembler::isLoneWriteCopy() const
{
    return request[1] == Modbus::WriteSingle && count == request.size() && startsWithRequest(0);
}

bool AnswerAssembler::startsWithRequest(std::size_t offset) const
{
    return count - offset >= request.size() &&
           std::equal(request.begin(), request.end(), bytes.begin() + std::ptrdiff_t(offset));
}

bool AnswerAssembler::isPrefixOfRequest(std::size_t offset) const
{
    const std::size_t length = count - offset;
    return length < request.size() && std::equal(bytes.begin() + std::ptrdiff_t(offset),
                                                 bytes.begin() + std::ptrdiff_t(count), request.begin());
}

void AnswerAssembler::finish(std::size_t offset, std::size_t length)
{
    answerStart = offset;
    answerSize = length;
    complete = true;
}
