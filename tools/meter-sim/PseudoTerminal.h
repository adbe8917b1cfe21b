#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair in raw mode. This side holds the master; the device
// path of the slave is what a serial port opens. The slave is also held open
// here (without reading from it), so that the master never sees a hang-up
// while no program has the device open.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // Creates the pair; false with the reason in `error` on failure.
    bool open(QString *error = nullptr);
    void close();
    bool isOpen() const { return master >= 0; }

    int masterFd() const { return master; }
    QString slavePath() const { return path; }

    // Line settings of the slave side: on a pseudo-terminal they only
    // describe the line, the bytes pass at any speed. Parity is one of
    // 'N', 'O', 'E', 'M', 'S'. False when the setting is refused.
    bool setLine(int baud, int dataBits, char parity, int stopBits);
    // Whether the program on the slave side has set the line to what the
    // meters use: the baud rate, the stop bits and, for odd parity, odd
    // parity. A pseudo-terminal keeps no more of the settings: it clears
    // the parity bit (so even parity looks like none) and forces 8 data
    // bits; and a port set from odd to no parity may keep the odd flag.
    bool slaveSetTo(int baud, char parity, int stopBits) const;

    // Writes all of `bytes` to the master; false when that failed.
    bool write(const QByteArray &bytes);
    // What the master can read now, without waiting.
    QByteArray readAvailable();
    // Waits up to `timeoutMs` until the master has something to read.
    bool waitReadable(int timeoutMs) const;
    // Bytes written to the master that the program on the slave side has not
    // read yet.
    int pendingForSlave() const;
    // Waits up to `timeoutMs` until bytes written to the master have arrived
    // on the slave side (and nobody has read them yet).
    bool waitSlaveReadable(int timeoutMs) const;

private:
    bool waitWritable() const;

    int master = -1;
    int slave = -1;
    QString path;
};
