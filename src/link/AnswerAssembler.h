#pragma once

#include "ModbusFrame.h"

#include <cstddef>
#include <cstdint>

// Gathers the bytes received after a request into one whole answer.
//
// The length of an answer follows from its function code: 7 bytes for a read
// answer (0x03), 8 for the echo of a write (0x06), 5 for an exception answer
// (function | 0x80). Bytes that begin with an exact copy of the request are
// the echo of a 2-wire RS-485 adapter and are skipped. A write is answered
// with a copy of itself, so there only a second copy (or an exception)
// following the first makes the first one the adapter's echo; a lone copy
// stays undecided, silence or not, until the owner takes it as the answer at
// the end of the answer time (acceptLoneCopy). An answer with any
// other function code ends when the line goes silent, which the owner reports
// through lineSilent(). At most 32 bytes are kept.
class AnswerAssembler {
public:
    enum class State {
        Waiting,  // nothing of an answer yet, or the answer is still arriving
        Complete, // answer() holds the whole answer
    };

    // Forgets everything and starts gathering the answer to `request`.
    void start(const ModbusRequest &request);
    // Forgets everything; bytes fed afterwards belong to no request.
    void reset();

    // Adds received bytes. Bytes beyond the 32 kept, and bytes that arrive
    // after the answer is complete, are dropped.
    State feed(const std::uint8_t *data, std::size_t length);
    // The line has been silent for the inter-frame gap: whatever was received
    // after the echo is the answer. An echo alone is no answer.
    State lineSilent();
    // A lone copy of a write request, and nothing after it, is the answer.
    State acceptLoneCopy();

    State state() const { return complete ? State::Complete : State::Waiting; }
    bool hasRequest() const { return active; }
    // Bytes received so far, the echo included.
    std::size_t receivedCount() const { return count; }

    // The answer (or what there is of it), the rest of the buffer zero.
    ReceiveBuffer answer() const;
    std::size_t answerLength() const { return complete ? answerSize : 0; }

    // The length of a whole answer with function code `function`, or 0 when
    // the code says nothing about the length.
    static std::size_t expectedLength(std::uint8_t function);

private:
    void evaluate(bool silent);
    bool isLoneWriteCopy() const;
    bool startsWithRequest(std::size_t offset) const;
    bool isPrefixOfRequest(std::size_t offset) const;
    void finish(std::size_t offset, std::size_t length);

    ModbusRequest request{};
    ReceiveBuffer bytes{};
    std::size_t count = 0;
    std::size_t answerStart = 0;
    std::size_t answerSize = 0;
    bool active = false;
    bool complete = false;
};
