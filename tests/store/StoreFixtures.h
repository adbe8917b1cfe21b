#pragma once

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

// Helpers of the store tests: the databases the build made, and SQL run on a
// file through a connection of the test's own, so what a test sees is what
// the file holds.
namespace StoreFixtures {

inline QString builtDataDirectory()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../share/quorvane/data");
}

inline QString builtDatabase(const QString &name)
{
    return builtDataDirectory() + QLatin1Char('/') + name;
}

// Runs the statements in order; rows of the last one, NULL as "NULL".
inline QList<QStringList> sql(const QString &path, const QStringList &statements)
{
    QList<QStringList> result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fixture"));
        db.setDatabaseName(path);
        if (!db.open())
            qFatal("cannot open %s", qPrintable(path));
        QSqlQuery query(db);
        for (const QString &statement : statements) {
            if (!query.exec(statement))
                qFatal("%s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
        }
        while (query.next()) {
            QStringList row;
            for (int i = 0; i < query.record().count(); ++i)
                row << (query.isNull(i) ? QStringLiteral("NULL") : query.value(i).toString());
            result << row;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fixture"));
    return result;
}

inline QList<QStringList> sql(const QString &path, const QString &statement)
{
    return sql(path, QStringList{statement});
}

// Makes the file refuse a write that stores `value` in Yb_Bz of the register,
// the way a full disk or a locked file would refuse it.
inline void refuseRemark(const QString &path, const QString &value)
{
    for (const char *event : {"INSERT", "UPDATE"})
        sql(path, QStringLiteral("CREATE TRIGGER refuse_%1 BEFORE %1 ON YbGL WHEN NEW.Yb_Bz = '%2' "
                                 "BEGIN SELECT RAISE(ABORT, 'write refused'); END")
                      .arg(QLatin1String(event), value));
}

inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

inline QByteArray fileHash(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
               : QByteArray();
}

// Bytes that are no database, the same every run.
inline QByteArray randomBytes()
{
    QByteArray bytes(4096, Qt::Uninitialized);
    QRandomGenerator(42).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    return bytes;
}

} // namespace StoreFixtures
