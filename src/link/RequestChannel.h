#pragma once

// What the scheduler needs of the serial link: sending one request. The
// answer comes back through the main window, which reads it from the link
// and hands it to the scheduler.
class RequestChannel {
public:
    virtual ~RequestChannel() = default;
    virtual void WriteRequest(int address, int function, int reg, int value) = 0;
};
