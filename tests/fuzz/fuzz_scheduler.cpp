// Hands arbitrary byte sequences to the scheduler as the answers of each
// activity (monitoring, probing, a read of all parameters, a write run),
// with ticks in between as the input decides. Besides crashes and indices
// leaving their tables (the sanitizers), it checks that an answer changes
// no live value but that of the meter whose address it carries.
#include "CommandIds.h"
#include "FakeSchedulerHost.h"
#include "LiveValueTable.h"
#include "RequestChannel.h"
#include "TransactionScheduler.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

class NullLink : public RequestChannel {
public:
    void WriteRequest(int, int, int, int) override {}
};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

std::optional<ParameterMenu> anyMenu(int type)
{
    ParameterMenu menu;
    menu.count = type;
    for (int k = 0; k < MaxParameters; ++k)
        menu.oneDecimal[k] = k % 2;
    return menu;
}

struct Input {
    const std::uint8_t *data;
    std::size_t size;
    std::uint8_t next() { return size ? (--size, *data++) : 0; }
};

void start(TransactionScheduler &scheduler, int activity, Input &in)
{
    scheduler.setAddressRange(in.next() % 70, in.next() % 70);
    scheduler.startMonitoring();
    switch (activity) {
    case 1: // probing after a missing answer
        scheduler.onTimer(TimerId::PollTimer);
        scheduler.onTimer(TimerId::PollTimer);
        break;
    case 2:
        scheduler.readAllParameters(in.next() % 70, in.next() % 60);
        break;
    case 3: {
        scheduler.readAllParameters(in.next() % 70, 1 + in.next() % 55);
        for (int i = 0; i < 60; ++i) {
            scheduler.onTimer(TimerId::ReadAllTimer);
            scheduler.onAnswer(ReceiveBuffer{});
        }
        ParameterWriteList list;
        list.count = in.next() % 52;
        for (int i = 0; i < MaxParameters; ++i) {
            list.index[i] = int(in.next()) - 2;
            list.value[i] = double(std::int8_t(in.next())) * 37.5;
        }
        scheduler.startWrite(list);
        break;
    }
    default:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Input in{data, size};
    NullLink link;
    FakeSchedulerHost host;
    LiveValueTable values;
    TransactionScheduler scheduler(link, host, values, anyMenu);
    const int activity = in.next() % 4;
    start(scheduler, activity, in);

    static constexpr int kTimers[] = {TimerId::PollTimer, TimerId::ProbeTimer, TimerId::ReadAllTimer,
                                      TimerId::WriteTimer};
    while (in.size > 0) {
        const std::uint8_t control = in.next();
        if (control & 1)
            scheduler.onTimer(kTimers[(control >> 1) % 4]);
        ReceiveBuffer answer{};
        const std::size_t length = std::min<std::size_t>((control >> 3) % 33, in.size);
        std::memcpy(answer.data(), in.data, length);
        in.data += length;
        in.size -= length;
        const auto before = values.values();
        scheduler.onAnswer(answer);
        const auto after = values.values();
        for (int address = 0; address < Modbus::MeterCount; ++address)
            check(address == answer[0] || before[address] == after[address] ||
                  (std::isnan(before[address]) && std::isnan(after[address])));
    }
    check(scheduler.parameterCount() >= 0 && scheduler.parameterCount() <= MaxParameters);
    return 0;
}
