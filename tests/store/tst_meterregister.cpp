#include "MeterRegister.h"
#include "MeterRegisterModel.h"
#include "RecordingPrompts.h"
#include "StoreFixtures.h"
#include "StoreTexts.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace StoreFixtures;
using Kind = RecordingPrompts::Kind;

namespace {

// A record whose every field names itself, so a field stored in the wrong
// column shows.
MeterRecord meter(const QString &address, const QString &tag)
{
    MeterRecord record;
    for (const MeterColumn &column : kMeterColumns)
        record.*column.field = QString::fromLatin1(column.name) + QLatin1Char('-') + tag;
    record.address = address;
    return record;
}

// The row of the file that `record` makes under ID `id`.
QStringList fileRow(int id, const MeterRecord &record)
{
    QStringList row{QString::number(id)};
    for (const MeterColumn &column : kMeterColumns)
        row << record.*column.field;
    return row;
}

} // namespace

class TestMeterRegister : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    RecordingPrompts prompts;

    QString dataPath() const { return dir->filePath(QStringLiteral("qlvmdata.db")); }
    QList<QStringList> fileRows() const
    {
        return sql(dataPath(), QStringLiteral("SELECT * FROM YbGL ORDER BY ID"));
    }
    void seed(const QString &values)
    {
        sql(dataPath(), QStringLiteral("INSERT INTO YbGL (ID, Yb_Id, Yb_Azwz, Yb_Type) VALUES ") + values);
    }
private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        QVERIFY(QFile::copy(builtDatabase(QStringLiteral("qlvmdata.db")), dataPath()));
        QFile::setPermissions(dataPath(), QFile::ReadOwner | QFile::WriteOwner);
        prompts.clear();
    }

    void readsEveryField()
    {
        sql(dataPath(), {"INSERT INTO YbGL VALUES (9, '1', '炉膛', 'K', 'TX-101', '0.5', '0-1000', 'TIC-1', "
                         "'S9', '2023-04', 'KV', '一车间', 'ok', NULL)",
                         "INSERT INTO YbGL (ID, Yb_Id) VALUES (3, 0)"});
        MeterRegister meters(prompts, dir->path());
        const MeterRecord first{"0", "", "", "", "", "", "", "", "", "", "", "", ""};
        const MeterRecord second{"1",  "炉膛",    "K",  "TX-101", "0.5", "0-1000", "TIC-1",
                                 "S9", "2023-04", "KV", "一车间", "ok",  ""};
        QCOMPARE(meters.records(), (QList<MeterRecord>{first, second}));
        QCOMPARE(meters.find(1), second);
        QVERIFY(!meters.find(2));
        QCOMPARE(prompts.shown.size(), 0);
    }

    void roundTrip()
    {
        MeterRegister meters(prompts, dir->path());
        QVERIFY(meters.records().isEmpty());
        QVERIFY(meters.append(meter("0", "a")));
        QVERIFY(meters.append(meter("1", "b")));
        MeterRecord edited = meter("1", "edited");
        edited.installPosition = QStringLiteral("锅炉房");
        QVERIFY(meters.update(edited));
        QCOMPARE(fileRows(), (QList<QStringList>{fileRow(1, meter("0", "a")), fileRow(2, edited)}));
        QCOMPARE(meters.records(), (QList<MeterRecord>{meter("0", "a"), edited}));
        QCOMPARE(MeterRegister(prompts, dir->path()).records(), meters.records());
        QCOMPARE(prompts.shown.size(), 0);
    }

    void editFindsItsRowByAddress()
    {
        seed(QStringLiteral("(1, '1', 'one', 'T'), (2, '0', 'zero', 'T')"));
        MeterRegister meters(prompts, dir->path());
        MeterRecord edited = meter("0", "new");
        QVERIFY(meters.update(edited));
        QCOMPARE(fileRows().at(1), fileRow(2, edited));
        QCOMPARE(fileRows().at(0).mid(0, 3), (QStringList{"1", "1", "one"}));
        QCOMPARE(meters.find(0), edited);
    }

    void failedStoreChangesNothing_data()
    {
        QTest::addColumn<bool>("append");
        QTest::addColumn<MeterRecord>("record");
        QTest::addColumn<QString>("message");
        MeterRecord refused = meter("2", "x");
        refused.remark = QStringLiteral("bad");
        MeterRecord unknown = meter("7", "x");
        QTest::newRow("an append the file refuses") << true << refused << "write refused";
        refused.address = QStringLiteral("1");
        QTest::newRow("an edit the file refuses") << false << refused << "write refused";
        QTest::newRow("an edit of an address not in the register")
            << false << unknown << kStoreNoMatchingRow.text(0).arg("YbGL", "Yb_Id", "7");
    }

    void failedStoreChangesNothing()
    {
        QFETCH(bool, append);
        QFETCH(MeterRecord, record);
        QFETCH(QString, message);
        seed(QStringLiteral("(1, '0', 'zero', 'T'), (2, '1', 'one', 'T')"));
        refuseRemark(dataPath(), QStringLiteral("bad"));
        MeterRegister meters(prompts, dir->path());
        const QList<MeterRecord> before = meters.records();
        const QByteArray hash = fileHash(dataPath());
        QVERIFY(!(append ? meters.append(record) : meters.update(record)));
        QCOMPARE(prompts.count(Kind::Error), 1);
        QVERIFY2(prompts.lastText().contains(message), qPrintable(prompts.lastText()));
        QCOMPARE(meters.records(), before);
        QCOMPARE(fileHash(dataPath()), hash);
    }

    void nextAddress_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<int>("expected"); // -1: the register is full
        QTest::newRow("empty register") << "" << 0;
        QTest::newRow("last 62 offers 63") << "(1, '61', '', ''), (2, '62', '', '')" << 63;
        QTest::newRow("last 63 is full") << "(1, '63', '', '')" << -1;
        QTest::newRow("last in stored order, not the highest") << "(1, '5', '', ''), (2, '2', '', '')" << 3;
    }

    void nextAddress()
    {
        QFETCH(QString, rows);
        QFETCH(int, expected);
        if (!rows.isEmpty())
            seed(rows);
        QCOMPARE(MeterRegister(prompts, dir->path()).nextAddress().value_or(-1), expected);
    }

    void installPositions()
    {
        seed(QStringLiteral("(1, '0', 'a', ''), (2, '3', 'b', ''), (3, '64', 'x', ''), (4, '-1', 'y', ''), "
                            "(5, '3', 'c', '')"));
        std::array<QString, MeterRegister::kMaxMeters> expected;
        expected[0] = QStringLiteral("a");
        expected[3] = QStringLiteral("c");
        QCOMPARE(MeterRegister(prompts, dir->path()).installPositions(), expected);
    }

    void brokenRegister_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QString>("loadMessage");
        QTest::addColumn<QString>("storeMessage");
        const QString notADatabase = QStringLiteral("qlvmdata.db：\nfile is not a database");
        QTest::newRow("random bytes") << randomBytes() << QStringList() << notADatabase << notADatabase;
        QTest::newRow("a text file") << QByteArray("Yb_Id;Yb_Azwz\n0;Boiler\n") << QStringList()
                                     << notADatabase << notADatabase;
        const QString lacking = kStoreMissingFields.text(0).arg("YbGL", "Yb_Wg, Yb_Bz");
        QTest::newRow("YbGL lacks columns")
            << QByteArray()
            << QStringList{"DROP TABLE YbGL",
                           "CREATE TABLE YbGL (ID INTEGER PRIMARY KEY, Yb_Id TEXT, Yb_Azwz TEXT, Yb_Xh TEXT, "
                           "Yb_Type TEXT, Yb_Jddj TEXT, Yb_Clfw TEXT, Yb_Name TEXT, Yb_Ccbh TEXT, "
                           "Yb_Ccny TEXT, Yb_Zzc TEXT, Yb_Ssdw TEXT)",
                           "INSERT INTO YbGL (ID, Yb_Id) VALUES (1, '0')"}
            << lacking << lacking;
        QTest::newRow("YbGL takes numbers only")
            << QByteArray()
            << QStringList{"DROP TABLE YbGL",
                           "CREATE TABLE YbGL (ID INTEGER PRIMARY KEY, Yb_Id INTEGER, Yb_Azwz INTEGER, "
                           "Yb_Xh INTEGER, Yb_Type INTEGER, Yb_Jddj INTEGER, Yb_Clfw INTEGER, "
                           "Yb_Name INTEGER, Yb_Ccbh INTEGER, Yb_Ccny INTEGER, Yb_Zzc INTEGER, "
                           "Yb_Ssdw INTEGER, Yb_Wg INTEGER, Yb_Bz INTEGER) STRICT",
                           "INSERT INTO YbGL (ID, Yb_Id) VALUES (1, 0)"}
            << QString() << "cannot store TEXT value in INTEGER column";
    }

    void brokenRegister()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, statements);
        QFETCH(QString, loadMessage);
        QFETCH(QString, storeMessage);
        if (statements.isEmpty())
            QVERIFY(writeFile(dataPath(), content));
        else
            sql(dataPath(), statements);
        const QByteArray hash = fileHash(dataPath());
        MeterRegister meters(prompts, dir->path());
        QCOMPARE(meters.records().size(), loadMessage.isEmpty() ? 1 : 0);
        QCOMPARE(prompts.count(Kind::Error), loadMessage.isEmpty() ? 0 : 1);
        QVERIFY2(prompts.lastText().contains(loadMessage), qPrintable(prompts.lastText()));
        prompts.clear();
        const QList<MeterRecord> before = meters.records();
        QVERIFY(!meters.append(meter("1", "x")));
        QVERIFY(!meters.update(meter("0", "x")));
        QCOMPARE(prompts.count(Kind::Error), 2); // one message per store
        for (const auto &shown : prompts.shown)
            QVERIFY2(shown.text.contains(storeMessage), qPrintable(shown.text));
        QCOMPARE(meters.records(), before);
        QCOMPARE(fileHash(dataPath()), hash);
    }

    void model()
    {
        seed(QStringLiteral("(1, '0', 'a', 'TX-101'), (2, '1', 'b', 'TX-202'), (3, '2', 'c', 'tx-101')"));
        MeterRegister meters(prompts, dir->path());
        MeterRegisterModel model(meters, 0);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.columnCount(), 13);
        QCOMPARE(model.data(model.index(1, 1)).toString(), QStringLiteral("b"));
        QCOMPARE(model.data(model.index(2, 3)).toString(), QStringLiteral("tx-101"));
        model.showType(QStringLiteral("TX-101")); // names compare exactly
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.recordAt(0)->address, QStringLiteral("0"));
        QVERIFY(meters.append(meter("3", "d")));
        QCOMPARE(model.rowCount(), 1); // until refreshed
        model.showAll();
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.data(model.index(3, 12)).toString(), QStringLiteral("Yb_Bz-d"));
        QVERIFY(!model.recordAt(4));
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("安装位置"));
        QSignalSpy spy(&model, &QAbstractItemModel::headerDataChanged);
        model.setLanguage(1);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Installation Pos."));
        QCOMPARE(model.headerData(12, Qt::Horizontal).toString(), QStringLiteral("Remark"));
    }
};

QTEST_GUILESS_MAIN(TestMeterRegister)
#include "tst_meterregister.moc"
