#pragma once

#include "Transport.h"

#include <QSerialPort>

// A serial device as the byte path: opened exclusively, set to the line
// settings, written a frame at a time and read as bytes arrive. A device
// that goes away (an unplugged USB adapter, a pseudo-terminal whose other
// side closed) is closed and reported lost() once.
class SerialTransport : public Transport {
    Q_OBJECT

public:
    explicit SerialTransport(const QString &devicePath = QString(), QObject *parent = nullptr);
    ~SerialTransport() override;

    // The device the next open() opens.
    void setDevicePath(const QString &devicePath) { device = devicePath; }
    QString devicePath() const { return device; }

    // Opens the device for reading and writing, exclusively; closes an open
    // one first.
    bool open() override;
    // Baud rate above 0, data bits 5..8, parity index 0..4, stop-bits index
    // 0..2; 1.5 stop bits are refused where the platform cannot set them.
    bool configure(const LineSettings &settings) override;
    void close() override;
    bool isOpen() const override;

    bool writeFrame(const QByteArray &frame) override;
    QByteArray takeBytes() override;
    void discardInput() override;
    // Bytes wait in the driver.
    bool inputPending() const override;

    const PortFailure &failure() const override { return failed; }
    QString target() const override { return device; }

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void loseDevice();
    void closeLostDevice();
    bool deviceHungUp() const;

    QSerialPort port; // a child, so that tests can watch what it reports
    QString device;
    PortFailure failed;
    // The port's last error, kept past the clearError() of its handler.
    QSerialPort::SerialPortError reported = QSerialPort::NoError;
    bool deviceGone = false; // reported lost, not yet closed
};
