#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMetaType>
#include <QtGlobal>

// One frame on the line as it passed, with what the line made of it: a
// request of the master, or what came back (an answer, an exception, a frame
// with a bad CRC or one that cannot be read, the echo of a 2-wire adapter),
// or the end of an answer time with nothing whole received.
struct LineFrame {
    enum class Kind { Request, Answer, Exception, CrcError, Garbage, EchoSkipped, NoAnswer };

    QDateTime time;    // local time, with milliseconds
    bool sent = false; // true: master to meter
    QByteArray bytes;  // empty for NoAnswer
    Kind kind = Kind::Request;
    int address = -1;
    int function = 0;
    int reg = -1;
    // The answer's value, the exception code, or the request's count
    // (a read) or value (a write).
    int value = 0;

    // The frame of `kind` with address, function, register and value read
    // from `bytes`. A read answer does not carry its register: `askedRegister`
    // is the register of the request it answers.
    static LineFrame decoded(Kind kind, const QByteArray &bytes, const QDateTime &time,
                             int askedRegister = -1)
    {
        LineFrame frame;
        frame.time = time;
        frame.kind = kind;
        frame.sent = kind == Kind::Request;
        frame.bytes = bytes;
        frame.reg = askedRegister;
        auto byte = [&bytes](int i) { return i < bytes.size() ? int(quint8(bytes[i])) : 0; };
        auto word = [&byte](int i) { return int(qint16((byte(i) << 8) | byte(i + 1))); };
        if (!bytes.isEmpty())
            frame.address = byte(0);
        frame.function = byte(1);
        const bool requestLike = kind == Kind::Request || kind == Kind::EchoSkipped ||
                                 (kind == Kind::Answer && frame.function == 0x06);
        if (requestLike) {
            frame.reg = word(2) & 0xFFFF;
            frame.value = word(4);
        } else if (kind == Kind::Answer) {
            frame.value = word(3);
        } else if (kind == Kind::Exception) {
            frame.value = byte(2);
        }
        return frame;
    }

    static LineFrame noAnswer(int address, const QDateTime &time)
    {
        LineFrame frame;
        frame.time = time;
        frame.kind = Kind::NoAnswer;
        frame.address = address;
        return frame;
    }
};

Q_DECLARE_METATYPE(LineFrame)
