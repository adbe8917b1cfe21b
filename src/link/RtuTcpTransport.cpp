#include "RtuTcpTransport.h"

bool RtuTcpTransport::writeFrame(const QByteArray &frame)
{
    return send(frame);
}

void RtuTcpTransport::received(const QByteArray &bytes)
{
    deliver(bytes);
}
