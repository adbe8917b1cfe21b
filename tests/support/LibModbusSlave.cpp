#include "LibModbusSlave.h"

#include <modbus.h>

#include <cerrno>

LibModbusSlave::LibModbusSlave(int slaveAddress) : address(slaveAddress)
{
    mapping = modbus_mapping_new(0, 0, RegisterCount, 0);
}

LibModbusSlave::~LibModbusSlave()
{
    stop();
    modbus_mapping_free(mapping);
}

bool LibModbusSlave::start(QString *error)
{
    if (!pty.open(error))
        return false;
    // libmodbus opens its device by path, but the serial port under test
    // needs that path; libmodbus is handed the master side instead. It is
    // never connected, so it never changes or closes the descriptor itself.
    context = modbus_new_rtu(pty.slavePath().toLocal8Bit().constData(), 9600, 'N', 8, 1);
    if (!context || !mapping) {
        if (error)
            *error = QStringLiteral("libmodbus: %1").arg(QString::fromLocal8Bit(modbus_strerror(errno)));
        return false;
    }
    modbus_set_slave(context, address);
    if (qEnvironmentVariableIsSet("QUORVANE_MODBUS_DEBUG"))
        modbus_set_debug(context, TRUE);
    modbus_set_socket(context, pty.masterFd());
    // Bounded waits let the thread see a stop request.
    modbus_set_indication_timeout(context, 0, 50000);
    running = true;
    thread = std::thread(&LibModbusSlave::serve, this);
    return true;
}

void LibModbusSlave::stop()
{
    running = false;
    if (thread.joinable())
        thread.join();
    if (context) {
        modbus_set_socket(context, -1);
        modbus_free(context);
        context = nullptr;
    }
    pty.close();
}

void LibModbusSlave::setRegister(int reg, std::uint16_t value)
{
    const std::lock_guard lock(mappingLock);
    mapping->tab_registers[reg] = value;
}

std::uint16_t LibModbusSlave::registerValue(int reg) const
{
    const std::lock_guard lock(mappingLock);
    return mapping->tab_registers[reg];
}

void LibModbusSlave::serve()
{
    uint8_t request[MODBUS_RTU_MAX_ADU_LENGTH];
    while (running) {
        // 0 for a request to another address, -1 for a time-out or a broken
        // frame: nothing to answer either way.
        const int length = modbus_receive(context, request);
        if (length <= 0)
            continue;
        const std::lock_guard lock(mappingLock);
        if (modbus_reply(context, request, length, mapping) > 0)
            ++replies;
    }
}
