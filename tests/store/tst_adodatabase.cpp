#include "AdoDatabase.h"
#include "RecordingPrompts.h"
#include "StoreFixtures.h"
#include "StoreTexts.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Kind = RecordingPrompts::Kind;
using namespace StoreFixtures;

} // namespace

class TestAdoDatabase : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    RecordingPrompts prompts;

    QString dataPath() const { return dir->filePath(QStringLiteral("qlvmdata.db")); }
    QString systemPath() const { return dir->filePath(QStringLiteral("qlvmsys.db")); }
    QList<QStringList> register_(const QString &columns = QStringLiteral("ID, Yb_Id, Yb_Azwz"))
    {
        return sql(dataPath(), QStringLiteral("SELECT %1 FROM YbGL ORDER BY ID").arg(columns));
    }

    // Opens the register table of the data directory.
    std::unique_ptr<AdoDatabase> openRegister()
    {
        auto db = std::make_unique<AdoDatabase>(prompts, dir->path());
        db->Open(QStringLiteral("qlvmdata.db"), QString());
        db->OpenTable(QStringLiteral("YbGL"));
        return db;
    }

    void seedRegister(const QString &values)
    {
        sql(dataPath(), QStringLiteral("INSERT INTO YbGL (ID, Yb_Id, Yb_Azwz) VALUES ") + values);
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        QVERIFY(QFile::copy(builtDatabase(QStringLiteral("qlvmdata.db")), dataPath()));
        QVERIFY(QFile::copy(builtDatabase(QStringLiteral("qlvmsys.db")), systemPath()));
        QFile::setPermissions(dataPath(), QFile::ReadOwner | QFile::WriteOwner);
        prompts.clear();
    }

    void emptyTable()
    {
        auto db = openRegister();
        QCOMPARE(db->nextId, 0);
        QVERIFY(db->IsEof());
        QVERIFY(db->IsBof());
        QCOMPARE(db->GetInt(QStringLiteral("Yb_Id")), 0);
        QCOMPARE(db->GetText(QStringLiteral("Yb_Azwz")), QString());
        db->AddNew();
        db->PutText(QStringLiteral("Yb_Id"), QStringLiteral("0"));
        db->Update();
        QCOMPARE(register_(), (QList<QStringList>{{"1", "0", "NULL"}}));
        QCOMPARE(prompts.shown.size(), 0);
    }

    void addNewContinuesFromHighestId()
    {
        seedRegister(QStringLiteral("(5, '0', 'a'), (41, '1', 'b'), (17, '2', 'c')"));
        auto db = openRegister();
        QCOMPARE(db->nextId, 41);
        db->AddNew();
        db->PutText(QStringLiteral("Yb_Id"), QStringLiteral("3"));
        db->AddNew(); // leaving the first new row stores it
        db->PutText(QStringLiteral("Yb_Id"), QStringLiteral("4"));
        db->Update();
        QCOMPARE(register_(QStringLiteral("ID, Yb_Id")).mid(3),
                 (QList<QStringList>{{"42", "3"}, {"43", "4"}}));
        QCOMPARE(prompts.shown.size(), 0);
    }

    void readsField_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("NULL reads as empty and 0") << "NULL"
                                                   << "" << 0;
        QTest::newRow("empty text") << "''"
                                    << "" << 0;
        QTest::newRow("digits then letters read as the digits") << "'12abc'"
                                                                << "12abc" << 12;
        QTest::newRow("letters first read as 0") << "'abc12'"
                                                 << "abc12" << 0;
        QTest::newRow("blanks and sign") << "'  -7 mm'"
                                         << "  -7 mm" << -7;
        QTest::newRow("integer stored in a text column") << "45"
                                                         << "45" << 45;
        QTest::newRow("real number") << "2.5"
                                     << "2.5" << 2;
        QTest::newRow("Chinese text") << "'锅炉房'"
                                      << "锅炉房" << 0;
    }

    void readsField()
    {
        QFETCH(QString, stored);
        QFETCH(QString, text);
        QFETCH(int, number);
        seedRegister(QStringLiteral("(1, %1, 'x')").arg(stored));
        auto db = openRegister();
        QCOMPARE(db->GetText(QStringLiteral("Yb_Id")), text);
        QCOMPARE(db->GetInt(QStringLiteral("Yb_Id")), number);
        QCOMPARE(prompts.shown.size(), 0);
    }

    void walksInAscendingId()
    {
        seedRegister(QStringLiteral("(30, '0', 'c'), (10, '2', 'a'), (20, '1', 'b')"));
        auto db = openRegister();
        QStringList walked;
        for (db->MoveFirst(); !db->IsEof(); db->MoveNext())
            walked << db->GetText(QStringLiteral("Yb_Azwz"));
        QCOMPARE(walked, (QStringList{"a", "b", "c"}));
        db->MoveNext();
        QVERIFY(db->IsEof());
        QCOMPARE(db->GetText(QStringLiteral("Yb_Azwz")), QString());
        db->MoveLast();
        QCOMPARE(db->GetText(QStringLiteral("Yb_Azwz")), QStringLiteral("c"));
        QVERIFY(!db->IsBof());
    }

    void editFieldByOffset_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QList<QStringList>>("expected");
        QTest::addColumn<int>("messages");
        const QStringList a{"10", "0", "a"}, b{"20", "1", "b"}, c{"30", "2", "c"};
        const QStringList x{"20", "1", "Boiler 2"};
        QTest::newRow("offset 1 is the second row in ID order") << 1 << QList<QStringList>{a, x, c} << 0;
        QTest::newRow("offset past the last row is refused") << 3 << QList<QStringList>{a, b, c} << 1;
        QTest::newRow("negative offset is refused") << -1 << QList<QStringList>{a, b, c} << 1;
    }

    void editFieldByOffset()
    {
        QFETCH(int, offset);
        QFETCH(QList<QStringList>, expected);
        QFETCH(int, messages);
        seedRegister(QStringLiteral("(30, '2', 'c'), (10, '0', 'a'), (20, '1', 'b')"));
        auto db = openRegister();
        db->MoveLast();
        db->EditField(offset, QStringLiteral("Yb_Azwz"), QStringLiteral("Boiler 2"));
        QCOMPARE(register_(), expected);
        QCOMPARE(prompts.count(Kind::Error), messages);
    }

    void editFindsItsRowById()
    {
        seedRegister(QStringLiteral("(10, '0', 'a'), (20, '1', 'b')"));
        auto db = openRegister();
        sql(dataPath(), QStringLiteral("DELETE FROM YbGL WHERE ID = 10"));
        db->EditField(1, QStringLiteral("Yb_Azwz"), QStringLiteral("kept"));
        QCOMPARE(register_(), (QList<QStringList>{{"20", "1", "kept"}}));
        QCOMPARE(prompts.shown.size(), 0);
        db->EditField(0, QStringLiteral("Yb_Azwz"), QStringLiteral("lost"));
        QCOMPARE(prompts.count(Kind::Error), 1);
        QCOMPARE(prompts.lastText(), kStoreRowGone.text(0).arg(QStringLiteral("YbGL")));
        QCOMPARE(register_(), (QList<QStringList>{{"20", "1", "kept"}}));
    }

    void emptyTextIsStoredAsText()
    {
        seedRegister(QStringLiteral("(1, '0', 'a')"));
        openRegister()->EditField(0, QStringLiteral("Yb_Azwz"), QString());
        QCOMPARE(register_(QStringLiteral("typeof(Yb_Azwz), Yb_Azwz")), (QList<QStringList>{{"text", ""}}));
    }

    void missingFile_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("table");
        QTest::newRow("system database") << "qlvmsys.db"
                                         << "METERTYPE";
        QTest::newRow("data database") << "qlvmdata.db"
                                       << "YbGL";
    }

    void missingFile()
    {
        QFETCH(QString, file);
        QFETCH(QString, table);
        QVERIFY(QFile::remove(dir->filePath(file)));
        const QStringList before = QDir(dir->path()).entryList(QDir::Files);
        {
            AdoDatabase db(prompts, dir->path(), 1);
            db.Open(file, QString());
            QCOMPARE(prompts.count(Kind::Error), 1);
            QVERIFY(prompts.lastText().contains(dir->filePath(file)));
            db.OpenTable(table);
            QCOMPARE(prompts.count(Kind::Error), 2);
            QVERIFY(db.IsEof());
            QVERIFY(db.IsBof());
            QCOMPARE(db.GetText(QStringLiteral("ID")), QString());
            db.AddNew();
            db.PutText(QStringLiteral("ID"), QStringLiteral("1"));
            db.Update();
            db.EditField(0, QStringLiteral("ID"), QStringLiteral("1"));
            QVERIFY(!db.AppendRow({{QStringLiteral("ID"), QStringLiteral("1")}}));
        }
        QCOMPARE(prompts.shown.size(), 2);
        for (const auto &shown : prompts.shown)
            QCOMPARE(shown.caption, QStringLiteral("Tarvex Communication"));
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files), before);
    }

    void notADatabase()
    {
        QFile file(dataPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(4096, 'x'));
        file.close();
        auto db = openRegister();
        QCOMPARE(prompts.count(Kind::Error), 2);
        QVERIFY(db->IsEof());
    }

    void refusedTables_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown table name")
            << "sqlite_master" << kStoreUnknownTable.text(0).arg("sqlite_master");
        QTest::newRow("SQL in a table name is never run")
            << "YbGL; DROP TABLE YbGL" << kStoreUnknownTable.text(0).arg("YbGL; DROP TABLE YbGL");
        QTest::newRow("table of the other file") << "METERTYPE"
                                                 << "no such table";
    }

    void refusedTables()
    {
        QFETCH(QString, table);
        QFETCH(QString, message);
        AdoDatabase db(prompts, dir->path());
        db.Open(QStringLiteral("qlvmdata.db"), QString());
        db.OpenTable(table);
        QCOMPARE(prompts.count(Kind::Error), 1);
        QVERIFY2(prompts.lastText().contains(message), qPrintable(prompts.lastText()));
        QVERIFY(db.IsEof());
        db.OpenTable(QStringLiteral("YbGL"));
        QCOMPARE(prompts.count(Kind::Error), 1);
    }

    void unknownFieldIsReportedOnce()
    {
        seedRegister(QStringLiteral("(1, '0', 'a'), (2, '1', 'b'), (3, '2', 'c')"));
        auto db = openRegister();
        for (db->MoveFirst(); !db->IsEof(); db->MoveNext())
            QCOMPARE(db->GetText(QStringLiteral("Yb_Nope")), QString());
        QCOMPARE(prompts.count(Kind::Error), 1);
        QCOMPARE(prompts.lastText(), kStoreUnknownField.text(0).arg("YbGL", "Yb_Nope"));
        QCOMPARE(db->GetText(QStringLiteral("yb_azwz")),
                 QString()); // names match in any case, like the columns
        QCOMPARE(prompts.count(Kind::Error), 1);
    }

    void systemDatabaseIsReadOnly()
    {
        const QByteArray before = fileHash(systemPath());
        AdoDatabase db(prompts, dir->path());
        db.Open(QStringLiteral("qlvmsys.db"), QStringLiteral("any password"));
        db.OpenTable(QStringLiteral("METERTYPE"));
        const QString name = db.GetText(QStringLiteral("METERTYPE"));
        QVERIFY(!name.isEmpty());
        db.EditField(0, QStringLiteral("METERTYPE"), QStringLiteral("changed"));
        QCOMPARE(prompts.count(Kind::Error), 1);
        QVERIFY2(prompts.lastText().contains(QStringLiteral("readonly")), qPrintable(prompts.lastText()));
        QCOMPARE(db.GetText(QStringLiteral("METERTYPE")), name);
        db.AddNew();
        db.Update();
        QCOMPARE(prompts.count(Kind::Error), 2);
        QVERIFY(db.IsEof());
        QCOMPARE(fileHash(systemPath()), before);
    }

    void failedUpdateLeavesRow()
    {
        seedRegister(QStringLiteral("(1, '0', 'kept')"));
        refuseRemark(dataPath(), QStringLiteral("bad"));
        auto db = openRegister();
        db->PutText(QStringLiteral("Yb_Azwz"), QStringLiteral("changed"));
        db->PutText(QStringLiteral("Yb_Bz"), QStringLiteral("bad"));
        db->Update();
        QCOMPARE(prompts.count(Kind::Error), 1);
        QVERIFY(prompts.lastText().contains(QStringLiteral("write refused")));
        QCOMPARE(db->GetText(QStringLiteral("Yb_Azwz")), QStringLiteral("kept"));
        QCOMPARE(register_(), (QList<QStringList>{{"1", "0", "kept"}}));
    }

    void failedAddNewAddsNothing()
    {
        refuseRemark(dataPath(), QStringLiteral("bad"));
        auto db = openRegister();
        db->AddNew();
        db->PutText(QStringLiteral("Yb_Bz"), QStringLiteral("bad"));
        db->Update();
        QCOMPARE(prompts.count(Kind::Error), 1);
        QVERIFY(db->IsEof());
        QCOMPARE(register_(), QList<QStringList>());
    }

    void appendRowStoresAllFieldsOrNone_data()
    {
        QTest::addColumn<QString>("remark");
        QTest::addColumn<bool>("stored");
        QTest::newRow("all fields stored") << "ok" << true;
        QTest::newRow("a refused field stores nothing") << "bad" << false;
    }

    void appendRowStoresAllFieldsOrNone()
    {
        QFETCH(QString, remark);
        QFETCH(bool, stored);
        seedRegister(QStringLiteral("(7, '0', 'a')"));
        refuseRemark(dataPath(), QStringLiteral("bad"));
        auto db = openRegister();
        const AdoDatabase::FieldValues fields{
            {"Yb_Id", "1"}, {"Yb_Name", "TIC-101"}, {"Yb_Azwz", "炉膛"}, {"Yb_Bz", remark}};
        QCOMPARE(db->AppendRow(fields), stored);
        QCOMPARE(prompts.count(Kind::Error), stored ? 0 : 1);
        const QList<QStringList> expected{{"7", "0", "a", "NULL", "NULL"},
                                          {"8", "1", "炉膛", "TIC-101", remark}};
        QCOMPARE(register_(QStringLiteral("ID, Yb_Id, Yb_Azwz, Yb_Name, Yb_Bz")),
                 stored ? expected : expected.mid(0, 1));
        QCOMPARE(db->nextId, stored ? 8 : 7);
    }

    void updateRowWhereStoresAllFieldsOrNone_data()
    {
        QTest::addColumn<AdoDatabase::FieldValues>("fields");
        QTest::addColumn<QString>("azwz");
        QTest::addColumn<int>("messages");
        QTest::newRow("all fields stored")
            << AdoDatabase::FieldValues{{"Yb_Azwz", "new"}, {"Yb_Bz", "fine"}} << "new" << 0;
        QTest::newRow("a refused field stores nothing")
            << AdoDatabase::FieldValues{{"Yb_Azwz", "new"}, {"Yb_Bz", "bad"}} << "b" << 1;
        QTest::newRow("an unknown field stores nothing")
            << AdoDatabase::FieldValues{{"Yb_Azwz", "new"}, {"Yb_Nope", "x"}} << "b" << 1;
    }

    void updateRowWhereStoresAllFieldsOrNone()
    {
        QFETCH(AdoDatabase::FieldValues, fields);
        QFETCH(int, messages);
        QFETCH(QString, azwz);
        seedRegister(QStringLiteral("(1, '0', 'a'), (2, '1', 'b'), (3, '2', 'c')"));
        refuseRemark(dataPath(), QStringLiteral("bad"));
        auto db = openRegister();
        QCOMPARE(db->UpdateRowWhere(QStringLiteral("Yb_Id"), QStringLiteral("1"), fields), messages == 0);
        QCOMPARE(prompts.count(Kind::Error), messages);
        QCOMPARE(register_(QStringLiteral("Yb_Azwz")), (QList<QStringList>{{"a"}, {azwz}, {"c"}}));
        QCOMPARE(db->GetText(QStringLiteral("Yb_Azwz")),
                 messages == 0 ? QStringLiteral("new") : QStringLiteral("a"));
    }

    void updateRowWhereWithoutMatch()
    {
        seedRegister(QStringLiteral("(1, '0', 'a')"));
        auto db = openRegister();
        QVERIFY(!db->UpdateRowWhere(QStringLiteral("Yb_Id"), QStringLiteral("5"), {{"Yb_Azwz", "x"}}));
        QCOMPARE(prompts.count(Kind::Error), 1);
        QCOMPARE(register_(), (QList<QStringList>{{"1", "0", "a"}}));
    }

    // A register edit as the meter dialog stores it: twelve fields of one row,
    // on disk when the call returns.
    void benchmarkStoreRegisterRow()
    {
        seedRegister(QStringLiteral("(1, '0', 'a')"));
        AdoDatabase::FieldValues fields;
        for (const char *name : {"Yb_Azwz", "Yb_Xh", "Yb_Type", "Yb_Jddj", "Yb_Clfw", "Yb_Name", "Yb_Ccbh",
                                 "Yb_Ccny", "Yb_Zzc", "Yb_Ssdw", "Yb_Wg", "Yb_Bz"})
            fields.append({QString::fromLatin1(name), QStringLiteral("value")});
        QBENCHMARK
        {
            auto db = openRegister();
            QVERIFY(db->UpdateRowWhere(QStringLiteral("Yb_Id"), QStringLiteral("0"), fields));
        }
        QCOMPARE(prompts.shown.size(), 0);
    }

    void connectionIsRemoved()
    {
        const QStringList before = QSqlDatabase::connectionNames();
        {
            auto first = openRegister();
            auto second = openRegister();
            QCOMPARE(QSqlDatabase::connectionNames().size(), before.size() + 2);
        }
        QCOMPARE(QSqlDatabase::connectionNames(), before);
    }
};

QTEST_GUILESS_MAIN(TestAdoDatabase)
#include "tst_adodatabase.moc"
