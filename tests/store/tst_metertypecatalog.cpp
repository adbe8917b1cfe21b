#include "MeterTypeCatalog.h"
#include "RecordingPrompts.h"
#include "StoreFixtures.h"
#include "StoreTexts.h"

#include <QTemporaryDir>
#include <QTest>

using namespace StoreFixtures;
using Kind = RecordingPrompts::Kind;

namespace {

const QString kMeterTypeTable =
    QStringLiteral("CREATE TABLE METERTYPE (ID INTEGER PRIMARY KEY, METERTYPE TEXT, ISACTIVE INTEGER, "
                   "CHANNELS INTEGER, MENUAMOUNT INTEGER)");
const QString kMenuTable =
    QStringLiteral("CREATE TABLE YbParaMenu (ID INTEGER PRIMARY KEY, ParaMenu_Type INTEGER, ParaMenu_Cmd "
                   "INTEGER, ParaMenu_CaptionC TEXT, ParaMenu_CaptionE TEXT, ParaMenu_Dot INTEGER)");

} // namespace

class TestMeterTypeCatalog : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    RecordingPrompts prompts;

    QString systemPath() const { return dir->filePath(QStringLiteral("qlvmsys.db")); }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        prompts.clear();
    }

    void suppliedTypes()
    {
        MeterTypeCatalog catalog(prompts, builtDataDirectory());
        QList<int> ids;
        for (const MeterType &type : catalog.types())
            ids << type.id;
        QCOMPARE(ids, (QList<int>{1, 2, 3, 4, 5, 6, 7}));
        QCOMPARE(catalog.activeTypes().size(), 6);
        QVERIFY(!catalog.activeTypes().contains(*catalog.type(7)));
        QVERIFY(!catalog.type(99));
        QVERIFY(!catalog.typeNamed(QStringLiteral("tx-101"))); // names compare exactly
        QVERIFY(!catalog.menu(99));
        QCOMPARE(prompts.shown.size(), 0);
    }

    void suppliedType_data()
    {
        QTest::addColumn<MeterType>("expected");
        QTest::newRow("the default type") << MeterType{1, "TX-101", true, 1, 34};
        QTest::newRow("the type with the fullest menu") << MeterType{4, "TX-408", true, 8, 50};
        QTest::newRow("an unsupported type is listed") << MeterType{7, "TX-090", false, 1, 10};
    }

    void suppliedType()
    {
        QFETCH(MeterType, expected);
        MeterTypeCatalog catalog(prompts, builtDataDirectory(), 1);
        QCOMPARE(catalog.type(expected.id), expected);
        QCOMPARE(catalog.typeNamed(expected.name), expected);
    }

    void suppliedMenu_data()
    {
        QTest::addColumn<int>("typeId");
        QTest::addColumn<int>("position");
        QTest::addColumn<MenuEntry>("expected");
        QTest::newRow("first parameter, tenths") << 1 << 0 << MenuEntry{"设定值", "Set Value", 1};
        QTest::newRow("last of 50") << 4 << 49 << MenuEntry{"校验方式", "Parity", 0};
        QTest::newRow("an unsupported type has its menu") << 7 << 9 << MenuEntry{"波特率", "Baud Rate", 0};
    }

    void suppliedMenu()
    {
        QFETCH(int, typeId);
        QFETCH(int, position);
        QFETCH(MenuEntry, expected);
        MeterTypeCatalog catalog(prompts, builtDataDirectory());
        const auto menu = catalog.menu(typeId);
        QVERIFY(menu);
        QCOMPARE(menu->count, catalog.type(typeId)->parameterCount);
        QCOMPARE(menu->entries[position], expected);
        QCOMPARE(prompts.shown.size(), 0);
    }

    void menuRows_data()
    {
        QTest::addColumn<int>("typeId");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("count");
        QTest::addColumn<MenuEntry>("expected");
        QTest::newRow("a row of another type is ignored") << 1 << 0 << 3 << MenuEntry{"零", "zero", 1};
        QTest::newRow("same position in another type") << 2 << 0 << 50 << MenuEntry{"其他", "other", 0};
        QTest::newRow("the later row for a position wins") << 1 << 1 << 3 << MenuEntry{"二", "second", 1};
        QTest::newRow("later means higher ID") << 1 << 2 << 3 << MenuEntry{"后", "later", 0};
        QTest::newRow("position count is ignored") << 1 << 3 << 3 << MenuEntry{};
        QTest::newRow("MENUAMOUNT above 50 is limited to 50") << 2 << 49 << 50 << MenuEntry{"末", "last", 1};
        QTest::newRow("a position without a row stays empty") << 2 << 1 << 50 << MenuEntry{};
        QTest::newRow("a type without parameters") << 3 << 0 << 0 << MenuEntry{};
    }

    void menuRows()
    {
        QFETCH(int, typeId);
        QFETCH(int, position);
        QFETCH(int, count);
        QFETCH(MenuEntry, expected);
        sql(systemPath(),
            {kMeterTypeTable, kMenuTable,
             "INSERT INTO METERTYPE VALUES (1, 'A', 1, 1, 3), (2, 'B', 1, 2, 60), (3, 'C', 1, 1, 0)",
             "INSERT INTO YbParaMenu VALUES (1, 1, 0, '零', 'zero', 1), (2, 2, 0, '其他', 'other', 0), "
             "(3, 1, 3, '过', 'past', 0), (4, 1, -1, '负', 'negative', 0), (5, 1, 1, '一', 'first', 0), "
             "(6, 1, 1, '二', 'second', 1), (10, 1, 2, '后', 'later', 0), (9, 1, 2, '前', 'earlier', 1), "
             "(7, 2, 49, '末', 'last', 1), (8, 2, 50, '超', 'beyond', 0), (11, 3, 0, '无', 'none', 0)"});
        MeterTypeCatalog catalog(prompts, dir->path());
        const auto menu = catalog.menu(typeId);
        QVERIFY(menu);
        QCOMPARE(menu->count, count);
        QCOMPARE(menu->entries[position], expected);
        QCOMPARE(prompts.shown.size(), 0);
    }

    void brokenSystemDatabase_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QList<int>>("typeIds");
        QTest::addColumn<bool>("hasMenu");
        const QString typeRows = QStringLiteral("INSERT INTO METERTYPE VALUES (1, 'A', 1, 1, 2)");
        const QString menuRows = QStringLiteral("INSERT INTO YbParaMenu VALUES (1, 1, 0, 'c', 'e', 1)");
        const QString notADatabase = QStringLiteral("qlvmsys.db：\nfile is not a database");
        QTest::newRow("random bytes")
            << randomBytes() << QStringList() << notADatabase << QList<int>() << false;
        QTest::newRow("a text file") << QByteArray("METERTYPE;YbParaMenu\n1;TX-101;1;1;34\n") << QStringList()
                                     << notADatabase << QList<int>() << false;
        QTest::newRow("METERTYPE lacks a column")
            << QByteArray()
            << QStringList{"CREATE TABLE METERTYPE (ID INTEGER PRIMARY KEY, METERTYPE TEXT, ISACTIVE "
                           "INTEGER, "
                           "MENUAMOUNT INTEGER)",
                           kMenuTable, "INSERT INTO METERTYPE VALUES (1, 'A', 1, 2)", menuRows}
            << kStoreMissingFields.text(0).arg("METERTYPE", "CHANNELS") << QList<int>() << false;
        QTest::newRow("METERTYPE holds words where numbers belong")
            << QByteArray()
            << QStringList{kMeterTypeTable, kMenuTable, typeRows,
                           "INSERT INTO METERTYPE VALUES (2, 'B', 1, 1, 'many'), (3, 'C', 'yes', 1, 2)",
                           menuRows}
            << kStoreNotAWholeNumber.text(0).arg("METERTYPE").arg(2).arg("2", "MENUAMOUNT", "many")
            << QList<int>{1} << true;
        QTest::newRow("YbParaMenu lacks a column")
            << QByteArray()
            << QStringList{kMeterTypeTable, typeRows,
                           "CREATE TABLE YbParaMenu (ID INTEGER PRIMARY KEY, ParaMenu_Type INTEGER, "
                           "ParaMenu_Cmd INTEGER, ParaMenu_CaptionC TEXT, ParaMenu_CaptionE TEXT)"}
            << kStoreMissingFields.text(0).arg("YbParaMenu", "ParaMenu_Dot") << QList<int>{1} << false;
        QTest::newRow("YbParaMenu holds a blob where a number belongs")
            << QByteArray()
            << QStringList{kMeterTypeTable, kMenuTable, typeRows, menuRows,
                           "INSERT INTO YbParaMenu VALUES (2, 1, x'6f6e65', 'c', 'e', 0)"}
            << kStoreNotAWholeNumber.text(0).arg("YbParaMenu").arg(1).arg("2", "ParaMenu_Cmd", "one")
            << QList<int>{1} << true;
    }

    void brokenSystemDatabase()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, statements);
        QFETCH(QString, message);
        QFETCH(QList<int>, typeIds);
        QFETCH(bool, hasMenu);
        if (statements.isEmpty())
            QVERIFY(writeFile(systemPath(), content));
        else
            sql(systemPath(), statements);
        MeterTypeCatalog catalog(prompts, dir->path());
        QList<int> ids;
        for (const MeterType &type : catalog.types())
            ids << type.id;
        QCOMPARE(ids, typeIds);
        const auto menu = catalog.menu(1);
        QCOMPARE(bool(menu), hasMenu);
        if (menu)
            QCOMPARE(menu->entries[0], (MenuEntry{"c", "e", 1}));
        QCOMPARE(prompts.count(Kind::Error), 1);
        QVERIFY2(prompts.lastText().contains(message), qPrintable(prompts.lastText()));
        QCOMPARE(prompts.shown.first().caption, kStoreCaption.text(0));
    }
};

QTEST_GUILESS_MAIN(TestMeterTypeCatalog)
#include "tst_metertypecatalog.moc"
