#pragma once

#include "TcpTransport.h"

// RTU frames, byte for byte, over a TCP connection to a serial device server
// in raw (transparent) mode: the server puts them on its serial line and
// sends back what the meters answer, in whatever pieces its serial side
// gathered. The answer assembly above puts the pieces together.
class RtuTcpTransport : public TcpTransport {
    Q_OBJECT

public:
    using TcpTransport::TcpTransport;

    bool writeFrame(const QByteArray &frame) override;

protected:
    void received(const QByteArray &bytes) override;
};
