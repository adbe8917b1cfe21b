#include "AdoDatabase.h"
#include "RecordingPrompts.h"

#include <QCoreApplication>
#include <QMap>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <algorithm>
#include <limits>
#include <numeric>

// The databases the build makes from the SQL shipped with the program, read
// the way the program reads them.
class TestSuppliedDatabases : public QObject {
    Q_OBJECT

    struct MeterType {
        QString name;
        int active;
        int channels;
        int menuAmount;
    };

    const QString directory =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/quorvane/data");
    RecordingPrompts prompts;
    QMap<int, MeterType> types;

    QStringList sqlColumn(const QString &file, const QString &statement)
    {
        QStringList result;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            db.setDatabaseName(directory + QLatin1Char('/') + file);
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
            if (db.open()) {
                QSqlQuery query(db);
                query.exec(statement);
                while (query.next())
                    result << query.value(0).toString();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        return result;
    }

private slots:
    void initTestCase()
    {
        AdoDatabase db(prompts, directory);
        db.Open(QStringLiteral("qlvmsys.db"), QString());
        db.OpenTable(QStringLiteral("METERTYPE"));
        for (db.MoveFirst(); !db.IsEof(); db.MoveNext()) {
            types.insert(db.GetInt(QStringLiteral("ID")),
                         {db.GetText(QStringLiteral("METERTYPE")), db.GetInt(QStringLiteral("ISACTIVE")),
                          db.GetInt(QStringLiteral("CHANNELS")), db.GetInt(QStringLiteral("MENUAMOUNT"))});
        }
        QCOMPARE(prompts.shown.size(), 0);
    }

    void filesAreIntact_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("system database") << "qlvmsys.db";
        QTest::newRow("data database") << "qlvmdata.db";
    }

    void filesAreIntact()
    {
        QFETCH(QString, file);
        QCOMPARE(sqlColumn(file, QStringLiteral("PRAGMA integrity_check")), QStringList{"ok"});
    }

    void meterTypes()
    {
        QVERIFY(types.size() >= 6);
        QCOMPARE(types.firstKey(), 1);
        QCOMPARE(types.lastKey(), types.size());
        QSet<QString> names;
        QSet<int> channelCounts;
        int inactive = 0;
        for (const MeterType &type : types) {
            QVERIFY(!type.name.isEmpty());
            names.insert(type.name);
            channelCounts.insert(type.channels);
            inactive += type.active != 1;
            QVERIFY(type.channels >= 1);
        }
        QCOMPARE(names.size(), types.size());
        QVERIFY(inactive >= 1);
        QVERIFY(channelCounts.size() >= 3);
        // The default settings file configures type 1 with one channel.
        QCOMPARE(types[1].active, 1);
        QCOMPARE(types[1].channels, 1);
    }

    void parameterMenus()
    {
        AdoDatabase db(prompts, directory);
        db.Open(QStringLiteral("qlvmsys.db"), QString());
        db.OpenTable(QStringLiteral("YbParaMenu"));
        QMap<int, QList<int>> positions;
        for (db.MoveFirst(); !db.IsEof(); db.MoveNext()) {
            const int type = db.GetInt(QStringLiteral("ParaMenu_Type"));
            const int cmd = db.GetInt(QStringLiteral("ParaMenu_Cmd"));
            const QString row = QStringLiteral("type %1 position %2").arg(type).arg(cmd);
            QVERIFY2(types.contains(type), qPrintable(row));
            QVERIFY2(cmd >= 0 && cmd < types[type].menuAmount, qPrintable(row));
            positions[type] << cmd;
            QVERIFY2(!db.GetText(QStringLiteral("ParaMenu_CaptionC")).isEmpty(), qPrintable(row));
            QVERIFY2(!db.GetText(QStringLiteral("ParaMenu_CaptionE")).isEmpty(), qPrintable(row));
            QVERIFY2(QSet<int>({0, 1}).contains(db.GetInt(QStringLiteral("ParaMenu_Dot"))), qPrintable(row));
            const int value = db.GetInt(QStringLiteral("ParaMenu_Default"));
            QVERIFY2(value >= std::numeric_limits<qint16>::min() &&
                         value <= std::numeric_limits<qint16>::max(),
                     qPrintable(row));
        }
        for (auto it = types.cbegin(); it != types.cend(); ++it) {
            QList<int> menu = positions.value(it.key());
            std::sort(menu.begin(), menu.end());
            QList<int> expected(it->menuAmount);
            std::iota(expected.begin(), expected.end(), 0);
            QCOMPARE(menu, expected);
            QVERIFY2(menu.size() >= 10 && menu.size() <= 50, qPrintable(it->name));
        }
        QCOMPARE(prompts.shown.size(), 0);
    }

    // Chinese captions hold Chinese characters, English ones plain ASCII.
    void captionsInBothLanguages()
    {
        QCOMPARE(sqlColumn(QStringLiteral("qlvmsys.db"),
                           QStringLiteral(
                               "SELECT count(*) FROM YbParaMenu WHERE ParaMenu_CaptionC = ParaMenu_CaptionE "
                               "OR length(ParaMenu_CaptionE) <> length(CAST(ParaMenu_CaptionE AS BLOB)) "
                               "OR length(ParaMenu_CaptionC) = length(CAST(ParaMenu_CaptionC AS BLOB))")),
                 QStringList{"0"});
    }

    void registerIsEmpty()
    {
        AdoDatabase db(prompts, directory);
        db.Open(QStringLiteral("qlvmdata.db"), QString());
        db.OpenTable(QStringLiteral("YbGL"));
        QVERIFY(db.IsEof());
        QCOMPARE(db.nextId, 0);
        QCOMPARE(prompts.shown.size(), 0);
        QCOMPARE(sqlColumn(QStringLiteral("qlvmdata.db"),
                           QStringLiteral("SELECT name FROM pragma_table_info('YbGL')")),
                 (QStringList{"ID", "Yb_Id", "Yb_Azwz", "Yb_Xh", "Yb_Type", "Yb_Jddj", "Yb_Clfw", "Yb_Name",
                              "Yb_Ccbh", "Yb_Ccny", "Yb_Zzc", "Yb_Ssdw", "Yb_Wg", "Yb_Bz"}));
    }

    void benchmarkLoadParameterMenu()
    {
        QBENCHMARK
        {
            AdoDatabase db(prompts, directory);
            db.Open(QStringLiteral("qlvmsys.db"), QString());
            db.OpenTable(QStringLiteral("YbParaMenu"));
            for (db.MoveFirst(); !db.IsEof(); db.MoveNext())
                db.GetText(QStringLiteral("ParaMenu_CaptionE"));
        }
    }
};

QTEST_GUILESS_MAIN(TestSuppliedDatabases)
#include "tst_supplieddatabases.moc"
