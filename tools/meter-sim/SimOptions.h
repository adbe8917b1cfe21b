#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The simulator's command line.
struct SimOptions {
    int firstAddress = 1;
    int lastAddress = 5;
    QSet<int> silent;
    QSet<int> badCrc;
    QSet<int> refusing;
    QSet<int> readOnly;
    // Process values that stay put, in tenths, by meter address.
    QHash<int, std::int16_t> fixedValues;
    // Parameters that start at other values: meter address -> (k -> value).
    QHash<int, QHash<int, std::int16_t>> presetParameters;
    // Meters that fall silent after answering this many requests.
    QHash<int, int> silentAfter;
    int baud = 9600;
    int dataBits = 8;
    char parity = 'N';
    int stopBits = 1;
    int delayMs = 0;
    int splitMs = 0;
    bool echo = false;
    // Hold each answer for the time the request and the answer take on the
    // wire at the line settings.
    bool wireTime = false;
    // Answer only requests sent with the line settings above.
    bool strictLine = false;
    QString logFile;
    QString dataDir;
    QString linkPath;
    QString systemDb;
    std::optional<int> meterType;

    // The options of `arguments` (the program name first); nullopt with the
    // reason in `error` when they do not make sense.
    static std::optional<SimOptions> parse(const QStringList &arguments, QString *error);
    // The time one character takes on the wire at the line settings, in ms:
    // start bit, data bits, parity bit and stop bits.
    double characterMs() const;
    // "1-5", "3" or "1,4-6" as a set of addresses 0..255; nullopt when
    // malformed.
    static std::optional<QSet<int>> parseAddresses(const QString &text);
};
