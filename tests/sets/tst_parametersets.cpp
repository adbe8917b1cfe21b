// Parameter sets: what a read becomes, the JSON and CSV files (and the files
// refused on import), the store in qlvmsets.db and the write log.
#include "SetFile.h"
#include "SetMessages.h"
#include "SetStore.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kType = 5;

// Type 5 has four parameters; the second and fourth hold tenths.
ParameterMenu menuOfType5()
{
    ParameterMenu menu;
    menu.count = 4;
    const char *chinese[] = {"通讯地址", "上限", "波特率", "下限, 报警"};
    const char *english[] = {"Address", "High limit", "Baud rate", "Low limit, alarm"};
    for (int k = 0; k < menu.count; ++k) {
        menu.captionC[k] = QString::fromUtf8(chinese[k]);
        menu.captionE[k] = QString::fromUtf8(english[k]);
        menu.oneDecimal[k] = k % 2 == 1;
    }
    return menu;
}

std::optional<ParameterMenu> menus(int type)
{
    return type == kType ? std::optional<ParameterMenu>(menuOfType5()) : std::nullopt;
}

ParameterSet setOfMeter(int address, const std::array<qint16, 4> &raw, const QDateTime &taken)
{
    ParameterReading reading;
    reading.address = address;
    reading.menu = menuOfType5();
    std::copy(raw.begin(), raw.end(), reading.values.begin());
    return ParameterSet::fromReading(reading, kType, QStringLiteral("TC-5"), taken, QStringLiteral("before"));
}

const QDateTime kTaken = QDateTime(QDate(2026, 12, 9), QTime(6, 30), Qt::UTC);

// The JSON of meter 3's set with `change` applied to its object.
QByteArray tampered(const std::function<void(QJsonObject &)> &change)
{
    QJsonObject object = QJsonDocument::fromJson(SetFile::toJson(setOfMeter(3, {3, -125, 9600, 50}, kTaken))).object();
    change(object);
    return QJsonDocument(object).toJson();
}

void changeParameter(QJsonObject &object, int index, const QString &field, const QJsonValue &value)
{
    QJsonArray parameters = object.value("parameters").toArray();
    QJsonObject parameter = parameters[index].toObject();
    if (value.isUndefined())
        parameter.remove(field);
    else
        parameter.insert(field, value);
    parameters[index] = parameter;
    object.insert("parameters", parameters);
}

} // namespace

class TestParameterSets : public QObject {
    Q_OBJECT

private slots:
    // A read becomes a set with the menu's captions and the texts shown for
    // it; the JSON brings back the same set.
    void aReadGoesThroughJsonUnchanged()
    {
        const ParameterSet set = setOfMeter(3, {3, -125, 9600, 50}, kTaken);
        QCOMPARE(set.parameters.size(), 4);
        QCOMPARE(set.parameters[1].reg, 2);
        QCOMPARE(set.parameters[1].text, QStringLiteral("-12.5"));
        QCOMPARE(set.parameters[2].text, QStringLiteral("9600"));
        QCOMPARE(set.parameters[3].captionEN, QStringLiteral("Low limit, alarm"));

        const QByteArray json = SetFile::toJson(set);
        const QJsonObject object = QJsonDocument::fromJson(json).object();
        QCOMPARE(object.value("format").toString(), QStringLiteral("quorvane-parameters"));
        QCOMPARE(object.value("taken").toString(), QStringLiteral("2026-12-09T06:30:00Z"));
        QCOMPARE(object.value("parameters").toArray()[1].toObject().value("raw").toInt(), -125);

        SetFile::ImportError error;
        const std::optional<ParameterSet> back = SetFile::fromJson(json, menus, error);
        QVERIFY2(back, qPrintable(error.detail));
        QCOMPARE(*back, set);
    }

    // A register written unsigned is the same 16 bits.
    void anUnsignedRegisterIsTheSameBits()
    {
        SetFile::ImportError error;
        const auto set = SetFile::fromJson(
            tampered([](QJsonObject &o) { changeParameter(o, 1, "raw", 65411); }), menus, error);
        QVERIFY(set);
        QCOMPARE(set->parameters[1].raw, qint16(-125));
    }

    void refusedFiles_data()
    {
        using What = SetFile::ImportError::What;
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("what");
        QTest::addColumn<QString>("detail");
        QTest::newRow("not JSON") << QByteArray("{\"format\":") << int(What::NotJson) << QString();
        QTest::newRow("another format")
            << tampered([](QJsonObject &o) { o.insert("format", "csv"); }) << int(What::NotASet) << "csv";
        QTest::newRow("a later version")
            << tampered([](QJsonObject &o) { o.insert("version", 2); }) << int(What::VersionUnknown) << "2";
        QTest::newRow("no address")
            << tampered([](QJsonObject &o) { o.remove("address"); }) << int(What::FieldMissing) << "address";
        QTest::newRow("address 64")
            << tampered([](QJsonObject &o) { o.insert("address", 64); }) << int(What::FieldNotValid) << "address";
        QTest::newRow("address as text")
            << tampered([](QJsonObject &o) { o.insert("address", "3"); }) << int(What::FieldNotValid)
            << "address";
        QTest::newRow("a time that is none")
            << tampered([](QJsonObject &o) { o.insert("taken", "yesterday"); }) << int(What::FieldNotValid)
            << "taken";
        QTest::newRow("an unknown meter type")
            << tampered([](QJsonObject &o) { o.insert("meterType", 6); }) << int(What::MeterTypeUnknown) << "6";
        QTest::newRow("k beyond the menu")
            << tampered([](QJsonObject &o) { changeParameter(o, 3, "k", 4); }) << int(What::OutsideMenu) << "4";
        QTest::newRow("k negative")
            << tampered([](QJsonObject &o) { changeParameter(o, 0, "k", -1); }) << int(What::OutsideMenu) << "-1";
        QTest::newRow("k twice")
            << tampered([](QJsonObject &o) { changeParameter(o, 1, "k", 0); }) << int(What::DuplicateParameter)
            << "0";
        QTest::newRow("k fractional")
            << tampered([](QJsonObject &o) { changeParameter(o, 1, "k", 1.5); }) << int(What::FieldNotValid)
            << "parameters[1].k";
        QTest::newRow("register not 2k")
            << tampered([](QJsonObject &o) { changeParameter(o, 2, "register", 5); })
            << int(What::RegisterMismatch) << "2";
        QTest::newRow("no raw value")
            << tampered([](QJsonObject &o) { changeParameter(o, 2, "raw", QJsonValue::Undefined); })
            << int(What::FieldMissing) << "parameters[2].raw";
        QTest::newRow("raw beyond 16 bits")
            << tampered([](QJsonObject &o) { changeParameter(o, 2, "raw", 65536); }) << int(What::RawOutOfRange)
            << "2 = 65536";
        QTest::newRow("raw below 16 bits")
            << tampered([](QJsonObject &o) { changeParameter(o, 2, "raw", -32769); }) << int(What::RawOutOfRange)
            << "2 = -32769";
        QTest::newRow("parameters not a list")
            << tampered([](QJsonObject &o) { o.insert("parameters", 1); }) << int(What::FieldNotValid)
            << "parameters";
    }
    void refusedFiles()
    {
        QFETCH(QByteArray, json);
        QFETCH(int, what);
        QFETCH(QString, detail);
        SetFile::ImportError error;
        QVERIFY(!SetFile::fromJson(json, menus, error));
        QCOMPARE(int(error.what), what);
        if (!detail.isEmpty())
            QCOMPARE(error.detail, detail);
    }

    // What the operator reads of a refused file and of a job's end.
    void messagesNameWhatIsWrong_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("Chinese") << 0 << QString("m3.json 中参数 2 = 65536 超出 16 位寄存器范围，未导入任何内容。")
                                 << QString("3# 仪表参数 k=1 \"上限\" 回读不符：写入 -100，读回 -125，已停止。已写入 4 个参数。");
        QTest::newRow("English") << 1 << QString("m3.json: parameter 2 = 65536 does not fit a 16-bit register. "
                                                 "Nothing was imported.")
                                 << QString("Meter 3, parameter k=1 \"High limit\" reads back differently: "
                                            "written -100, read -125. Stopped; 4 parameters were written.");
    }
    void messagesNameWhatIsWrong()
    {
        QFETCH(int, lang);
        QFETCH(QString, refusal);
        QFETCH(QString, outcome);
        SetFile::ImportError error;
        QVERIFY(!SetFile::fromJson(tampered([](QJsonObject &o) { changeParameter(o, 2, "raw", 65536); }), menus,
                                   error));
        QCOMPARE(SetMessages::importText(error, QStringLiteral("m3.json"), lang), refusal);
        JobOutcome end = JobOutcome::of(JobOutcome::End::ReadBackDifferent, 3, 1);
        end.written = -100;
        end.read = -125;
        end.writes = 4;
        QCOMPARE(SetMessages::outcomeText(end, setOfMeter(3, {3, -125, 9600, 50}, kTaken), lang), outcome);
    }

    // The spreadsheet's rows: one a parameter, quoted where a caption holds
    // a comma, after a byte order mark.
    void csvHasARowAParameter()
    {
        const QByteArray csv = SetFile::toCsv(setOfMeter(3, {3, -125, 9600, 50}, kTaken));
        QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
        const QList<QByteArray> rows = csv.mid(3).split('\n');
        QCOMPARE(rows.size(), 6); // header, four rows, the empty rest
        QCOMPARE(rows[0].trimmed(), QByteArray("address,meterType,meterTypeName,taken,k,register,caption,captionEN,"
                                               "raw,text"));
        QCOMPARE(rows[2].trimmed(),
                 QString("3,5,TC-5,2026-12-09T06:30:00Z,1,2,上限,High limit,-125,-12.5").toUtf8());
        QVERIFY(rows[4].contains("\"下限, 报警\",\"Low limit, alarm\""));
    }

    void differencesAreTheParametersThatDiffer()
    {
        const ParameterSet left = setOfMeter(3, {3, -125, 9600, 50}, kTaken);
        ParameterSet right = setOfMeter(4, {4, -125, 19200, 50}, kTaken);
        right.parameters.removeLast();
        const QList<ParameterDifference> found = differences(left, right);
        QCOMPARE(found.size(), 3);
        QCOMPARE(found[0].k, 0);
        QCOMPARE(found[1].k, 2);
        QCOMPARE(found[1].right, std::optional<qint16>(qint16(19200 - 65536)));
        QCOMPARE(found[2].k, 3);
        QVERIFY(!found[2].right);
    }

    // Sets stored whole, listed newest first and by meter, kept across a
    // reopening, removed with their parameters; only qlvmsets.db is made.
    void storeKeepsTheSets()
    {
        QTemporaryDir dir;
        const ParameterSet older = setOfMeter(3, {3, -125, 9600, 50}, kTaken);
        const ParameterSet newer = setOfMeter(4, {4, 10, 19200, 50}, kTaken.addSecs(60));
        qint64 olderId = 0;
        {
            SetStore store(dir.path());
            QVERIFY2(store.isOpen(), qPrintable(store.errorText()));
            olderId = store.save(older).value_or(0);
            QVERIFY(olderId > 0);
            QVERIFY(store.save(newer));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"qlvmsets.db"});
        SetStore store(dir.path());
        const QList<ParameterSet> all = store.sets();
        QCOMPARE(all.size(), 2);
        QCOMPARE(all[0].address, 4);
        QCOMPARE(all[1].id, olderId);
        ParameterSet expected = older;
        expected.id = olderId;
        QCOMPARE(all[1], expected);
        QCOMPARE(store.sets(3).size(), 1);
        QCOMPARE(store.sets(5).size(), 0);
        QCOMPARE(store.set(olderId), std::optional<ParameterSet>(expected));

        QVERIFY(store.remove(olderId));
        QVERIFY(!store.set(olderId));
        QVERIFY(!store.remove(olderId));
        QCOMPARE(store.sets().size(), 1);
    }

    void storeInAnUnwritablePlaceSaysSo()
    {
        SetStore store(QStringLiteral("/proc/no-such-directory"));
        QVERIFY(!store.isOpen());
        QVERIFY(!store.errorText().isEmpty());
        QVERIFY(!store.save(setOfMeter(3, {}, kTaken)));
        QVERIFY(!store.log({}));
    }

    // Every write, kept in order, by meter, and as CSV.
    void writeLogKeepsEveryWrite()
    {
        QTemporaryDir dir;
        SetStore store(dir.path());
        const QList<WriteRecord> records = {
            {kTaken, 3, 1, qint16(-125), qint16(-100), WriteResult::Done, 0, qint16(-100)},
            {kTaken.addMSecs(250), 3, 2, std::nullopt, qint16(96), WriteResult::Refused, 4, std::nullopt},
            {kTaken.addSecs(1), 4, 0, qint16(4), qint16(5), WriteResult::ReadBackDifferent, 0, qint16(4)},
            {kTaken.addSecs(2), 4, 3, qint16(1), qint16(2), WriteResult::NoAnswer, 0, std::nullopt},
        };
        for (const WriteRecord &record : records)
            QVERIFY2(store.log(record), qPrintable(store.errorText()));
        QCOMPARE(store.writeLog(), records);
        QCOMPARE(store.writeLog(4), records.mid(2));

        const QList<QByteArray> rows = SetStore::writeLogCsv(store.writeLog(3)).mid(3).split('\n');
        QCOMPARE(rows[0].trimmed(), QByteArray("time,address,k,register,old,new,result,exception,readBack"));
        QCOMPARE(rows[1].trimmed(), QByteArray("2026-12-09T06:30:00.000Z,3,1,2,-125,-100,done,,-100"));
        QCOMPARE(rows[2].trimmed(), QByteArray("2026-12-09T06:30:00.250Z,3,2,4,,96,refused,4,"));
    }
};

QTEST_GUILESS_MAIN(TestParameterSets)
#include "tst_parametersets.moc"
