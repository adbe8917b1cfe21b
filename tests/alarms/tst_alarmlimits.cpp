#include "AlarmLimitsStore.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(AlarmLimitsEntry)
Q_DECLARE_METATYPE(AlarmLimitsRefusal)

class TestAlarmLimits : public QObject {
    Q_OBJECT

private slots:
    void refusedEntries_data();
    void refusedEntries();
    void acceptedEntryRoundTrips();
    void storeKeepsTheRegister();
};

void TestAlarmLimits::refusedEntries_data()
{
    using Field = AlarmLimitsRefusal::Field;
    using Why = AlarmLimitsRefusal::Why;
    QTest::addColumn<AlarmLimitsEntry>("entry");
    QTest::addColumn<AlarmLimitsRefusal>("refusal");
    QTest::newRow("high not a number")
        << AlarmLimitsEntry{"1O0", "", "", "", true} << AlarmLimitsRefusal{Field::High, Why::NotANumber};
    QTest::newRow("low with a comma")
        << AlarmLimitsEntry{"", "1,5", "", "", true} << AlarmLimitsRefusal{Field::Low, Why::NotANumber};
    QTest::newRow("infinite deadband")
        << AlarmLimitsEntry{"", "", "inf", "", true} << AlarmLimitsRefusal{Field::Deadband, Why::NotANumber};
    QTest::newRow("low equal to high")
        << AlarmLimitsEntry{"10", "10", "", "", true} << AlarmLimitsRefusal{Field::Low, Why::LowNotBelowHigh};
    QTest::newRow("low above high") << AlarmLimitsEntry{"10", "20", "", "", true}
                                    << AlarmLimitsRefusal{Field::Low, Why::LowNotBelowHigh};
    QTest::newRow("negative deadband")
        << AlarmLimitsEntry{"10", "", "-0.1", "", true} << AlarmLimitsRefusal{Field::Deadband, Why::Negative};
    QTest::newRow("negative delay") << AlarmLimitsEntry{"10", "", "", "-1", true}
                                    << AlarmLimitsRefusal{Field::Delay, Why::Negative};
}

void TestAlarmLimits::refusedEntries()
{
    QFETCH(AlarmLimitsEntry, entry);
    QFETCH(AlarmLimitsRefusal, refusal);
    const auto parsed = parseAlarmLimits(entry);
    QVERIFY(std::holds_alternative<AlarmLimitsRefusal>(parsed));
    QCOMPARE(std::get<AlarmLimitsRefusal>(parsed), refusal);
}

void TestAlarmLimits::acceptedEntryRoundTrips()
{
    const auto parsed = parseAlarmLimits({" 120.5 ", "", "2", "1.5", false});
    QVERIFY(std::holds_alternative<AlarmLimits>(parsed));
    const AlarmLimits limits = std::get<AlarmLimits>(parsed);
    QCOMPARE(limits.high, std::optional<double>(120.5));
    QCOMPARE(limits.low, std::nullopt);
    QCOMPARE(limits.deadband, 2.0);
    QCOMPARE(limits.delaySec, 1.5);
    QVERIFY(!limits.enabled);
    QCOMPARE(std::get<AlarmLimits>(parseAlarmLimits(alarmLimitsEntry(limits))), limits);
}

// The table is made beside the register, which keeps its rows; limits are
// stored per meter and read back, NULL limits as none.
void TestAlarmLimits::storeKeepsTheRegister()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("qlvmdata.db"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("register"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE YbGL(ID INTEGER PRIMARY KEY, Yb_Id TEXT)")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO YbGL(Yb_Id) VALUES('3')")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("register"));

    AlarmLimits three;
    three.high = 100;
    three.deadband = 2;
    AlarmLimits five;
    five.low = -20;
    five.delaySec = 3;
    five.enabled = false;
    {
        AlarmLimitsStore store(dir.path());
        QVERIFY2(store.isOpen(), qPrintable(store.errorText()));
        QCOMPARE(store.load()->size(), 0);
        QVERIFY(store.save(3, three));
        QVERIFY(store.save(5, AlarmLimits{}));
        QVERIFY(store.save(5, five));
        QVERIFY(store.save(9, AlarmLimits{}));
        QVERIFY(store.remove(9));
    }
    AlarmLimitsStore store(dir.path());
    const auto loaded = store.load();
    QVERIFY(loaded);
    QCOMPARE(loaded->size(), 2);
    QCOMPARE(loaded->value(3), three);
    QCOMPARE(loaded->value(5), five);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT Yb_Id FROM YbGL")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("3"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
}

QTEST_GUILESS_MAIN(TestAlarmLimits)
#include "tst_alarmlimits.moc"
