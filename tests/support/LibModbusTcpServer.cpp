#include "LibModbusTcpServer.h"

#include <modbus.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

// How long a blocking step waits before it looks at a stop request, in ms.
constexpr int kStopCheckMs = 50;

// The unit id of a request: the last byte of its MBAP header.
constexpr int kUnitOffset = 6;

bool readable(int fd)
{
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, kStopCheckMs) > 0;
}

} // namespace

LibModbusTcpServer::~LibModbusTcpServer()
{
    stop();
    for (const auto &[unit, mapping] : meters)
        modbus_mapping_free(mapping);
}

void LibModbusTcpServer::addMeter(int unit)
{
    const std::lock_guard lock(metersLock);
    if (!meters.count(unit))
        meters[unit] = modbus_mapping_new(0, 0, RegisterCount, 0);
}

void LibModbusTcpServer::setRegister(int unit, int reg, std::uint16_t value)
{
    addMeter(unit);
    const std::lock_guard lock(metersLock);
    meters[unit]->tab_registers[reg] = value;
}

bool LibModbusTcpServer::start(quint16 port, QString *error)
{
    context = modbus_new_tcp("127.0.0.1", port);
    if (context && qEnvironmentVariableIsSet("QUORVANE_MODBUS_DEBUG"))
        modbus_set_debug(context, TRUE);
    listenSocket = context ? modbus_tcp_listen(context, 1) : -1;
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    if (listenSocket < 0 || ::getsockname(listenSocket, reinterpret_cast<sockaddr *>(&bound), &size) != 0) {
        if (error)
            *error = QStringLiteral("libmodbus: %1").arg(QString::fromLocal8Bit(modbus_strerror(errno)));
        stop();
        return false;
    }
    listenPort = ntohs(bound.sin_port);
    modbus_set_indication_timeout(context, 0, kStopCheckMs * 1000);
    running = true;
    thread = std::thread(&LibModbusTcpServer::serve, this);
    return true;
}

void LibModbusTcpServer::stop()
{
    running = false;
    if (thread.joinable())
        thread.join();
    if (context) {
        modbus_close(context);
        modbus_free(context);
        context = nullptr;
    }
    if (listenSocket >= 0) {
        ::close(listenSocket);
        listenSocket = -1;
    }
}

void LibModbusTcpServer::serve()
{
    while (running) {
        // Accept only when a client waits, so that a stop request is seen.
        if (!readable(listenSocket) || modbus_tcp_accept(context, &listenSocket) < 0)
            continue;
        serveClient();
        modbus_close(context);
    }
}

void LibModbusTcpServer::serveClient()
{
    std::uint8_t request[MODBUS_TCP_MAX_ADU_LENGTH];
    while (running) {
        const int length = modbus_receive(context, request);
        if (length > 0)
            reply(request, length);
        else if (length < 0 && errno != ETIMEDOUT)
            return; // the client went away or sent garbage: take the next one
    }
}

void LibModbusTcpServer::reply(const std::uint8_t *request, int length)
{
    const std::lock_guard lock(metersLock);
    const auto meter = meters.find(request[kUnitOffset]);
    const int sent = meter == meters.end()
                         ? modbus_reply_exception(context, request, MODBUS_EXCEPTION_GATEWAY_TARGET)
                         : modbus_reply(context, request, length, meter->second);
    if (sent > 0)
        ++replies;
}
