#include "Outbox.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <algorithm>

Outbox::Outbox(const QString &path)
    : connection(QStringLiteral("outbox-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(path);
    open = db.open() && exec(QStringLiteral("PRAGMA busy_timeout=1000")) &&
           exec(QStringLiteral("CREATE TABLE IF NOT EXISTS outbox(seq INTEGER PRIMARY KEY, address INTEGER NOT "
                               "NULL, ms INTEGER NOT NULL, tenths INTEGER)")) &&
           // The counter itself, so that it goes on when every sample is gone.
           exec(QStringLiteral("CREATE TABLE IF NOT EXISTS outbox_seq(id INTEGER PRIMARY KEY CHECK(id = 1), "
                               "last INTEGER NOT NULL)"));
    if (!open) {
        if (error.isEmpty())
            error = db.lastError().text();
        return;
    }
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("SELECT last FROM outbox_seq WHERE id = 1")) && query.next())
        last = query.value(0).toLongLong();
}

Outbox::~Outbox()
{
    commit();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection);
}

bool Outbox::exec(const QString &sql)
{
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    error = query.lastError().text();
    return false;
}

qint64 Outbox::append(int address, qint64 msecs, std::optional<int> tenths)
{
    buffer.append({++last, address, msecs, tenths});
    return last;
}

bool Outbox::commit()
{
    if (!open || (buffer.isEmpty() && pruned >= acknowledged))
        return true;
    if (!db.transaction()) {
        error = db.lastError().text();
        return false;
    }
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT OR REPLACE INTO outbox(seq, address, ms, tenths) VALUES(?, ?, ?, ?)"));
    bool ok = true;
    for (const Sample &sample : std::as_const(buffer)) {
        insert.addBindValue(sample.seq);
        insert.addBindValue(sample.address);
        insert.addBindValue(sample.msecs);
        insert.addBindValue(sample.tenths ? QVariant(*sample.tenths) : QVariant(QMetaType(QMetaType::Int)));
        ok = ok && insert.exec();
    }
    QSqlQuery counter(db);
    counter.prepare(QStringLiteral("INSERT OR REPLACE INTO outbox_seq(id, last) VALUES(1, ?)"));
    counter.addBindValue(last);
    ok = ok && counter.exec();
    QSqlQuery prune(db);
    prune.prepare(QStringLiteral("DELETE FROM outbox WHERE seq <= ?"));
    prune.addBindValue(std::max(acknowledged, last - MaxKept));
    ok = ok && prune.exec();
    if (!ok || !db.commit()) {
        error = db.lastError().text();
        db.rollback();
        return false;
    }
    buffer.clear();
    pruned = acknowledged;
    return true;
}

QList<Outbox::Sample> Outbox::after(qint64 seq, int limit) const
{
    QList<Sample> samples;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT seq, address, ms, tenths FROM outbox WHERE seq > ? ORDER BY seq LIMIT ?"));
    query.addBindValue(seq);
    query.addBindValue(limit);
    if (!query.exec())
        return samples;
    while (query.next()) {
        Sample sample{query.value(0).toLongLong(), query.value(1).toInt(), query.value(2).toLongLong(), {}};
        if (!query.value(3).isNull())
            sample.tenths = query.value(3).toInt();
        samples.append(sample);
    }
    return samples;
}

void Outbox::acknowledge(qint64 seq)
{
    acknowledged = std::max(acknowledged, std::min(seq, last));
}

qint64 Outbox::firstSeq() const
{
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("SELECT MIN(seq) FROM outbox")) && query.next() && !query.value(0).isNull())
        return query.value(0).toLongLong();
    return 0;
}
