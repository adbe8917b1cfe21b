#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QtDebug>

// Runs SQL on a history file through a connection of the test's own, the way
// another program or a damaged disk would; the connection stays open while
// the object lives, so a transaction begun on it holds the file's write lock.
class OtherConnection {
public:
    explicit OtherConnection(const QString &path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open())
            qFatal("cannot open %s", qPrintable(path));
    }
    ~OtherConnection() { QSqlDatabase::removeDatabase(name); }
    OtherConnection(const OtherConnection &) = delete;
    OtherConnection &operator=(const OtherConnection &) = delete;

    bool exec(const QString &statement)
    {
        QSqlQuery query(QSqlDatabase::database(name));
        return query.exec(statement) || (qWarning() << query.lastError().text(), false);
    }
    // Every row of both tables, in key order, as text.
    QStringList dump()
    {
        QStringList rows;
        QSqlQuery query(QSqlDatabase::database(name));
        for (const char *table : {"sample ORDER BY key", "bucket ORDER BY address, start"}) {
            if (!query.exec(QStringLiteral("SELECT * FROM ") + QLatin1String(table)))
                qFatal("%s", qPrintable(query.lastError().text()));
            while (query.next()) {
                QStringList cells;
                for (int i = 0; i < query.record().count(); ++i)
                    cells << (query.isNull(i) ? QStringLiteral("NULL") : query.value(i).toString());
                rows << cells.join(QLatin1Char(','));
            }
        }
        return rows;
    }
    QString integrity()
    {
        QSqlQuery query(QSqlDatabase::database(name));
        return query.exec(QStringLiteral("PRAGMA integrity_check")) && query.next()
                   ? query.value(0).toString()
                   : QString();
    }

private:
    const QString name = QStringLiteral("other");
};
