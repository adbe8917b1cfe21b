#include "PseudoTerminal.h"

#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

speed_t speedOf(int baud)
{
    struct Rate {
        int baud;
        speed_t speed;
    };
    static constexpr std::array<Rate, 19> rates{{{50, B50},
                                                 {75, B75},
                                                 {110, B110},
                                                 {134, B134},
                                                 {150, B150},
                                                 {200, B200},
                                                 {300, B300},
                                                 {600, B600},
                                                 {1200, B1200},
                                                 {1800, B1800},
                                                 {2400, B2400},
                                                 {4800, B4800},
                                                 {9600, B9600},
                                                 {19200, B19200},
                                                 {38400, B38400},
                                                 {57600, B57600},
                                                 {115200, B115200},
                                                 {230400, B230400},
                                                 {460800, B460800}}};
    for (const Rate &rate : rates) {
        if (rate.baud == baud)
            return rate.speed;
    }
    return B0;
}

tcflag_t sizeOf(int dataBits)
{
    switch (dataBits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

void setParity(termios &t, char parity)
{
    t.c_cflag &= ~tcflag_t(PARENB | PARODD | CMSPAR);
    if (parity == 'O')
        t.c_cflag |= PARENB | PARODD;
    else if (parity == 'E')
        t.c_cflag |= PARENB;
    else if (parity == 'M')
        t.c_cflag |= PARENB | PARODD | CMSPAR;
    else if (parity == 'S')
        t.c_cflag |= PARENB | CMSPAR;
}

QString failure(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::open(QString *error)
{
    close();
    QString why;
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        why = failure("posix_openpt");
    else if (::grantpt(master) != 0 || ::unlockpt(master) != 0)
        why = failure("grantpt/unlockpt");
    else if (const char *name = ::ptsname(master); name == nullptr)
        why = failure("ptsname");
    else
        path = QString::fromLocal8Bit(name);
    if (why.isEmpty()) {
        slave = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (slave < 0)
            why = failure("open slave");
    }
    if (why.isEmpty() && !setLine(9600, 8, 'N', 1))
        why = failure("tcsetattr");
    if (!why.isEmpty()) {
        close();
        if (error)
            *error = why;
        return false;
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    return true;
}

void PseudoTerminal::close()
{
    if (slave >= 0)
        ::close(slave);
    if (master >= 0)
        ::close(master);
    slave = master = -1;
    path.clear();
}

bool PseudoTerminal::setLine(int baud, int dataBits, char parity, int stopBits)
{
    termios t{};
    if (slave < 0 || ::tcgetattr(slave, &t) != 0)
        return false;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag = (t.c_cflag & ~tcflag_t(CSIZE)) | sizeOf(dataBits);
    setParity(t, parity);
    if (stopBits == 2)
        t.c_cflag |= CSTOPB;
    else
        t.c_cflag &= ~tcflag_t(CSTOPB);
    if (const speed_t speed = speedOf(baud); speed != B0)
        ::cfsetspeed(&t, speed);
    return ::tcsetattr(slave, TCSANOW, &t) == 0;
}

bool PseudoTerminal::slaveSetTo(int baud, char parity, int stopBits) const
{
    termios t{};
    if (slave < 0 || ::tcgetattr(slave, &t) != 0)
        return false;
    const bool twoStopBits = (t.c_cflag & CSTOPB) != 0;
    const bool odd = (t.c_cflag & PARODD) != 0;
    return ::cfgetospeed(&t) == speedOf(baud) && twoStopBits == (stopBits == 2) && (parity != 'O' || odd);
}

bool PseudoTerminal::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (master >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(master, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN && waitWritable())
            continue;
        return false;
    }
    return done == bytes.size();
}

QByteArray PseudoTerminal::readAvailable()
{
    QByteArray data;
    std::array<char, 256> chunk{};
    while (master >= 0) {
        const ssize_t n = ::read(master, chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        data.append(chunk.data(), n);
    }
    return data;
}

bool PseudoTerminal::waitReadable(int timeoutMs) const
{
    pollfd p{master, POLLIN, 0};
    return master >= 0 && ::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN);
}

bool PseudoTerminal::waitWritable() const
{
    // The slave side's input queue is full; a reader is draining it.
    pollfd p{master, POLLOUT, 0};
    return ::poll(&p, 1, 1000) > 0 && (p.revents & POLLOUT);
}

bool PseudoTerminal::waitSlaveReadable(int timeoutMs) const
{
    pollfd p{slave, POLLIN, 0};
    return slave >= 0 && ::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN);
}

int PseudoTerminal::pendingForSlave() const
{
    int queued = 0;
    if (slave < 0 || ::ioctl(slave, FIONREAD, &queued) != 0)
        return -1;
    return queued;
}
