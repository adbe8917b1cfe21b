#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>

struct _modbus;
struct _modbus_mapping_t;

// An independent Modbus TCP server (libmodbus) on a thread of its own, as a
// gateway with meters behind it: it listens on 127.0.0.1 (a free port unless
// one is given), takes one client at a time, and answers each unit id that
// has a meter from that meter's holding registers 0..200. A unit id without
// a meter is answered with exception 0x0B, as a gateway whose target did not
// respond.
class LibModbusTcpServer {
public:
    static constexpr int RegisterCount = 201;

    LibModbusTcpServer() = default;
    ~LibModbusTcpServer();
    LibModbusTcpServer(const LibModbusTcpServer &) = delete;
    LibModbusTcpServer &operator=(const LibModbusTcpServer &) = delete;

    // Puts a meter behind unit id `unit` (0..247).
    void addMeter(int unit);
    void setRegister(int unit, int reg, std::uint16_t value);

    // Listens on `port` (0: a free one) and serves; false with the reason.
    bool start(quint16 port = 0, QString *error = nullptr);
    void stop();

    quint16 port() const { return listenPort; }
    // Requests answered so far, exceptions included.
    int answered() const { return replies; }

private:
    void serve();
    void serveClient();
    void reply(const std::uint8_t *request, int length);

    _modbus *context = nullptr;
    int listenSocket = -1;
    quint16 listenPort = 0;
    std::map<int, _modbus_mapping_t *> meters;
    std::mutex metersLock;
    std::atomic<bool> running{false};
    std::atomic<int> replies{0};
    std::thread thread;
};
