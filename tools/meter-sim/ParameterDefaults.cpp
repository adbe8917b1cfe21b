#include "ParameterDefaults.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace ParameterDefaults {

namespace {

std::optional<SimulatedMeters::Parameters> query(QSqlDatabase &db, int meterType, QString *why)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT ParaMenu_Cmd, ParaMenu_Default FROM YbParaMenu "
                             "WHERE ParaMenu_Type = ? ORDER BY rowid"));
    q.addBindValue(meterType);
    if (!q.exec()) {
        *why = q.lastError().text();
        return std::nullopt;
    }
    SimulatedMeters::Parameters values{};
    bool any = false;
    while (q.next()) {
        const int k = q.value(0).toInt();
        if (k < 0 || k >= SimulatedMeters::ParameterCount)
            continue;
        values[std::size_t(k)] = std::int16_t(q.value(1).toInt());
        any = true;
    }
    if (!any) {
        *why = QStringLiteral("no parameters of meter type %1").arg(meterType);
        return std::nullopt;
    }
    return values;
}

} // namespace

std::optional<SimulatedMeters::Parameters> load(const QString &databasePath, int meterType, QString *why)
{
    if (!QFileInfo(databasePath).isFile()) {
        *why = QStringLiteral("no database at %1").arg(databasePath);
        return std::nullopt;
    }
    std::optional<SimulatedMeters::Parameters> values;
    const QString connection = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(databasePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open())
            values = query(db, meterType, why);
        else
            *why = db.lastError().text();
    }
    QSqlDatabase::removeDatabase(connection);
    return values;
}

SimulatedMeters::Parameters fallback()
{
    SimulatedMeters::Parameters values{};
    for (int k = 0; k < SimulatedMeters::ParameterCount; ++k)
        values[std::size_t(k)] = std::int16_t(10 * k);
    return values;
}

} // namespace ParameterDefaults
