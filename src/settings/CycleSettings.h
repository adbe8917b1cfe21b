#pragma once

struct PortSettings;
class SettingsFile;

// How the line paces its monitoring polls (section "Line"): one meter per
// tick of the poll period, or the fast cycle, where the next request goes
// out as soon as the last transaction has ended.
struct CycleSettings {
    enum class Cycle { Period, Fast };

    Cycle cycle = Cycle::Period;
    // The fast cycle's answer time-out in ms; 0 derives it from the line.
    int timeoutMs = 0;

    // Missing keys and values that mean nothing keep the defaults.
    static CycleSettings read(const SettingsFile &settings);

    // The configured answer time-out, or else 50 ms plus twice the time a
    // 7-byte read answer takes on the wire with the port's line settings.
    int answerTimeoutMs(const PortSettings &port) const;
};
