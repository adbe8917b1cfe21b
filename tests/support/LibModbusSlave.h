#pragma once

#include "PseudoTerminal.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

struct _modbus;
struct _modbus_mapping_t;

// An independent Modbus RTU slave (libmodbus) on a thread of its own, behind
// a pseudo-terminal: the device path is what a serial port opens, libmodbus
// serves the other end. It answers one address (1..247; libmodbus takes 0 for
// broadcast) with holding registers 0..200.
class LibModbusSlave {
public:
    static constexpr int RegisterCount = 201;

    explicit LibModbusSlave(int address);
    ~LibModbusSlave();
    LibModbusSlave(const LibModbusSlave &) = delete;
    LibModbusSlave &operator=(const LibModbusSlave &) = delete;

    bool start(QString *error = nullptr);
    void stop();

    QString devicePath() const { return pty.slavePath(); }
    PseudoTerminal &terminal() { return pty; }

    void setRegister(int reg, std::uint16_t value);
    std::uint16_t registerValue(int reg) const;
    // Requests answered so far.
    int answered() const { return replies; }

private:
    void serve();

    int address;
    PseudoTerminal pty;
    _modbus *context = nullptr;
    _modbus_mapping_t *mapping = nullptr;
    mutable std::mutex mappingLock;
    std::atomic<bool> running{false};
    std::atomic<int> replies{0};
    std::thread thread;
};
