#pragma once

// What the scheduler needs of the serial link: sending one request, and how
// long the answer to the last one took. The answer itself comes back through
// the line, which reads it from the link and hands it to the scheduler.
class RequestChannel {
public:
    virtual ~RequestChannel() = default;
    virtual void WriteRequest(int address, int function, int reg, int value) = 0;
    // Milliseconds from the last request leaving the port to its answer being
    // whole; -1 when unknown.
    virtual int lastResponseMs() const { return -1; }
};
