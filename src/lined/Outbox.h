#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QtGlobal>

#include <optional>

// The line service's outbox: every judged poll of a line as a numbered
// sample, kept in the line's history file (table outbox) until a consumer
// acknowledges it. The number, seq, is one counter per line that goes on
// across restarts, so that a consumer that acknowledges what it has
// (history/ack) can be sent everything after that and never sees a gap.
// Samples are buffered and written in one transaction per commit(). The
// newest MaxKept samples are kept at most, acknowledged or not, so that a
// line nobody consumes does not fill the disk.
class Outbox {
public:
    struct Sample {
        qint64 seq = 0;
        int address = 0;
        qint64 msecs = 0;              // since the epoch, UTC
        std::optional<int> tenths;     // none: no value (no answer, bad frame, exception)

        bool operator==(const Sample &) const = default;
    };

    static constexpr qint64 MaxKept = 5'000'000;

    explicit Outbox(const QString &path);
    ~Outbox();
    Outbox(const Outbox &) = delete;
    Outbox &operator=(const Outbox &) = delete;

    bool isOpen() const { return open; }
    QString errorText() const { return error; }

    // Numbers the sample and buffers it; returns its seq.
    qint64 append(int address, qint64 msecs, std::optional<int> tenths);
    // Writes the buffer, and forgets what the consumer acknowledged. False
    // (the buffer kept) when the file refuses.
    bool commit();
    // Up to `limit` written samples after `seq`, in order.
    QList<Sample> after(qint64 seq, int limit) const;
    // The consumer has everything up to `seq`: those samples may go.
    void acknowledge(qint64 seq);

    qint64 lastSeq() const { return last; }
    // The oldest sample still kept, 0 when there is none.
    qint64 firstSeq() const;

private:
    bool exec(const QString &sql);

    QString connection;
    QSqlDatabase db;
    bool open = false;
    QString error;
    qint64 last = 0;
    qint64 acknowledged = 0;
    qint64 pruned = 0;
    QList<Sample> buffer;
};
