// quorvane-cli as a process on the meter simulator over a pseudo-terminal,
// with a data directory of its own: what it backs up is what the meters
// hold, it writes only differing parameters with a read-back each, stops at
// the first refusal with a row in the write log, and refuses bad usage,
// bad files and a port held by another program without touching a meter.
#include "MeterSimProcess.h"
#include "ParameterPresets.h"
#include "SetStore.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kDeadlineMs = 60000;
constexpr int kCount = 12; // parameters of meter type 5 (TX-510)


QList<int> presetOf(int meter)
{
    QList<int> values;
    for (int k = 0; k < kCount; ++k)
        values << 100 * meter + k;
    return values;
}

QList<int> rawOf(const QJsonArray &parameters)
{
    QList<int> values;
    for (const QJsonValue &p : parameters)
        values << p.toObject().value("raw").toInt();
    return values;
}

struct Run {
    int exit = -1;
    QByteArray out;
    QString err;
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
};

// A request as (address, function, register, value of a write).
using Asked = std::tuple<int, int, int, int>;

} // namespace

class TestCli : public QObject {
    Q_OBJECT

    std::unique_ptr<MeterSimProcess> sim;
    std::unique_ptr<QTemporaryDir> home;

    bool start(const QStringList &simArguments)
    {
        sim = std::make_unique<MeterSimProcess>();
        home = std::make_unique<QTemporaryDir>();
        return home->isValid() &&
               sim->start(QStringList{"--addresses", "3-5"} + presetMeters({3, 4, 5}, kCount) + simArguments);
    }

    Run cli(const QStringList &arguments, bool onLine = true)
    {
        QProcess process;
        const QStringList line{"--device", sim->devicePath(), "--home", home->path(), "--type",
                               "5",        "--lang",          "1"};
        process.start(QStringLiteral(QUORVANE_CLI), arguments + (onLine ? line : QStringList{"--lang", "1"}));
        Run run;
        // The event loop runs meanwhile, so that the simulator's log is
        // taken as it comes.
        if (!process.waitForStarted(kDeadlineMs) ||
            !QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; },
                             kDeadlineMs * 2) ||
            process.exitStatus() != QProcess::NormalExit)
            return run;
        run.exit = process.exitCode();
        run.out = process.readAllStandardOutput();
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    QString path(const char *name) const { return home->filePath(QString::fromLatin1(name)); }

    // The requests other than the polls of the live value, the last `count`
    // of them (all for -1).
    QList<Asked> parameterRequests(qsizetype count = -1)
    {
        QList<Asked> found;
        for (const MeterSimProcess::Request &r : sim->requests())
            if (r.reg != 200)
                found << Asked(r.address, r.function, r.reg, r.function == 6 ? r.value : 0);
        return count < 0 ? found : found.mid(std::max<qsizetype>(0, found.size() - count));
    }

    static QList<Asked> writesOf(const QList<Asked> &requests)
    {
        QList<Asked> writes;
        for (const Asked &r : requests)
            if (std::get<1>(r) == 6)
                writes << r;
        return writes;
    }

    // The last requests are `expected`, and no other write was ever made:
    // the log of the simulator may come after the tool has ended.
    bool lastRequestsAre(const QList<Asked> &expected)
    {
        return QTest::qWaitFor([&] { return parameterRequests(expected.size()) == expected; }, kDeadlineMs) &&
               writesOf(parameterRequests()) == writesOf(expected);
    }

    static QList<Asked> readOfAll(int address)
    {
        QList<Asked> asked{{address, 3, 0, 0}};
        for (int k = 0; k < kCount; ++k)
            asked << Asked(address, 3, 2 * k, 0);
        return asked;
    }

    static QList<Asked> writeWithReadBack(int address, int k, int value)
    {
        return {{address, 6, 2 * k, quint16(value)}, {address, 3, 2 * k, 0}, {address, 3, 2 * k, 0}};
    }

    // The backup of meter 3 as a file, with parameters changed by k.
    bool changedBackup(const char *name, const QMap<int, int> &changes)
    {
        const Run backup = cli({"backup", "3", "--out", path(name)});
        if (backup.exit != 0)
            return false;
        QFile file(path(name));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        QJsonObject set = QJsonDocument::fromJson(file.readAll()).object();
        file.close();
        QJsonArray parameters = set.value("parameters").toArray();
        for (qsizetype i = 0; i < parameters.size(); ++i) {
            QJsonObject p = parameters[i].toObject();
            if (changes.contains(p.value("k").toInt()))
                p.insert("raw", changes.value(p.value("k").toInt()));
            parameters[i] = p;
        }
        set.insert("parameters", parameters);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(QJsonDocument(set).toJson()) > 0;
    }

private slots:
    void cleanup()
    {
        if (sim)
            QVERIFY(sim->stop());
        sim.reset();
        home.reset();
    }

    // The live value, the parameters and a backup are what the meter holds;
    // the backup is stored in the data directory and written as JSON.
    void whatIsReadIsWhatTheMeterHolds()
    {
        QVERIFY(start({}));
        const Run read = cli({"read", "3", "--json"});
        QCOMPARE(read.exit, 0);
        const QJsonArray meters = read.json().value("meters").toArray();
        QCOMPARE(meters.size(), 1);
        QCOMPARE(meters[0].toObject().value("address").toInt(), 3);
        QVERIFY(meters[0].toObject().value("answering").toBool());

        const Run params = cli({"params", "3", "--json"});
        QCOMPARE(params.exit, 0);
        const QJsonArray parameters = params.json().value("parameters").toArray();
        QCOMPARE(rawOf(parameters), presetOf(3));
        QCOMPARE(parameters[11].toObject().value("register").toInt(), 22);
        QCOMPARE(parameters[0].toObject().value("caption").toString(), QStringLiteral("Set Value"));
        QCOMPARE(parameters[0].toObject().value("text").toString(), QStringLiteral("30.0"));

        const Run backup = cli({"backup", "3", "--note", "before the change", "--out", path("m3.json")});
        QCOMPARE(backup.exit, 0);
        QFile file(path("m3.json"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject set = QJsonDocument::fromJson(file.readAll()).object();
        QCOMPARE(set.value("format").toString(), QStringLiteral("quorvane-parameters"));
        QCOMPARE(set.value("address").toInt(), 3);
        QCOMPARE(set.value("meterType").toInt(), 5);
        QCOMPARE(set.value("note").toString(), QStringLiteral("before the change"));
        QCOMPARE(rawOf(set.value("parameters").toArray()), presetOf(3));

        const Run both = cli({"backup", "4", "5", "--json"});
        QCOMPARE(both.exit, 0);
        QCOMPARE(both.json().value("sets").toArray().size(), 2);
        const SetStore store(home->path());
        const QList<ParameterSet> stored = store.sets();
        QCOMPARE(stored.size(), 3);
        QList<int> addresses;
        for (const ParameterSet &s : stored) {
            addresses << s.address;
            QList<int> raw;
            for (const SetParameter &p : s.parameters)
                raw << p.raw;
            QCOMPARE(raw, presetOf(s.address));
        }
        std::sort(addresses.begin(), addresses.end());
        QCOMPARE(addresses, (QList<int>{3, 4, 5}));
        QVERIFY(store.writeLog().isEmpty());
    }

    // Compare marks what a file changes; restore writes exactly those
    // parameters, not the skipped one, each read back before the next.
    void aRestoreWritesTheDifferencesWithReadBack()
    {
        QVERIFY(start({}));
        QVERIFY(changedBackup("changed.json", {{2, 9002}, {4, -4}, {7, 777}}));

        const Run compare = cli({"compare", "3", "--with", path("changed.json"), "--json"});
        QCOMPARE(compare.exit, 0);
        QCOMPARE(compare.json().value("differences").toInt(), 3);
        QList<int> marked;
        for (const QJsonValue &row : compare.json().value("rows").toArray())
            if (row.toObject().value("differs").toBool())
                marked << row.toObject().value("k").toInt();
        QCOMPARE(marked, (QList<int>{2, 4, 7}));

        const Run restore = cli({"restore", "3", "--from", path("changed.json"), "--skip", "7", "--yes"});
        QCOMPARE(restore.exit, 0);
        QList<Asked> expected = readOfAll(3);
        expected << writeWithReadBack(3, 2, 9002) << writeWithReadBack(3, 4, -4);
        QVERIFY2(lastRequestsAre(expected), qPrintable(restore.err));

        const QList<WriteRecord> log = SetStore(home->path()).writeLog();
        QCOMPARE(log.size(), 2);
        QCOMPARE(log[0].k, 2);
        QCOMPARE(log[0].oldRaw, std::optional<qint16>(302));
        QCOMPARE(log[0].readBack, std::optional<qint16>(9002));
        QCOMPARE(log[1].result, WriteResult::Done);

        const Run after = cli({"compare", "3", "--with", path("changed.json"), "--json"});
        QCOMPARE(after.exit, 0);
        QCOMPARE(after.json().value("differences").toInt(), 1); // the skipped one
    }

    // A meter that refuses writes stops the restore at its first parameter.
    void aRefusedWriteStopsTheRestore()
    {
        QVERIFY(start({"--read-only", "3"}));
        QVERIFY(changedBackup("changed.json", {{2, 9002}, {4, -4}}));
        const Run restore = cli({"restore", "3", "--from", path("changed.json"), "--yes"});
        QCOMPARE(restore.exit, 1);
        QVERIFY2(restore.err.contains("refused"), qPrintable(restore.err));
        QList<Asked> expected = readOfAll(3);
        expected << Asked(3, 6, 4, 9002);
        QVERIFY(lastRequestsAre(expected));
        const QList<WriteRecord> log = SetStore(home->path()).writeLog();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].result, WriteResult::Refused);
        QCOMPARE(SetStore::resultName(log[0].result), QStringLiteral("refused"));
    }

    // A copy from a meter writes the others' differing parameters but the
    // skipped ones, meter after meter.
    void aCopyLeavesTheSkippedParameters()
    {
        QVERIFY(start({}));
        const Run copy =
            cli({"copy", "--from", "3", "--to", "4", "--to", "5", "--skip", "1,10", "--yes", "--json"});
        QCOMPARE(copy.exit, 0);
        QCOMPARE(copy.json().value("outcome").toObject().value("end").toString(), QStringLiteral("done"));
        QList<Asked> expected = readOfAll(3);
        for (int target : {4, 5}) {
            expected << readOfAll(target);
            for (int k = 0; k < kCount; ++k)
                if (k != 1 && k != 10)
                    expected << writeWithReadBack(target, k, 300 + k);
        }
        QVERIFY(lastRequestsAre(expected));

        const Run params = cli({"params", "5", "--json"});
        QCOMPARE(params.exit, 0);
        QList<int> now = presetOf(3);
        now[1] = 501;
        now[10] = 510;
        QCOMPARE(rawOf(params.json().value("parameters").toArray()), now);
    }

    // Bad usage and bad files are told and change nothing: no request to a
    // meter, no set store.
    void badInputChangesNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("told");
        QTest::newRow("no command") << QStringList{} << "No command";
        QTest::newRow("unknown command") << QStringList{"erase", "3"} << "Unknown command";
        QTest::newRow("address 64") << QStringList{"read", "64"} << "\"64\" is not a meter address";
        QTest::newRow("address text") << QStringList{"params", "x3"} << "\"x3\" is not a meter address";
        QTest::newRow("two meters to params") << QStringList{"params", "3", "4"} << "one meter address";
        QTest::newRow("out for two meters") << QStringList{"backup", "3", "4", "--out", "x.json"} << "--out";
        QTest::newRow("compare without --with") << QStringList{"compare", "3"} << "--with";
        QTest::newRow("restore without --yes")
            << QStringList{"restore", "3", "--from", "set.json"} << "add --yes";
        QTest::newRow("copy without --yes") << QStringList{"copy", "--from", "3", "--to", "4"} << "add --yes";
        QTest::newRow("copy to no meter") << QStringList{"copy", "--from", "3", "--yes"} << "--to";
        QTest::newRow("copy to 99") << QStringList{"copy", "--from", "3", "--to", "99", "--yes"} << "\"99\"";
        QTest::newRow("skip") << QStringList{"restore", "3", "--from", "set.json", "--skip", "a", "--yes"}
                              << "--skip";
        QTest::newRow("parity") << QStringList{"read", "3", "--parity", "X"} << "--parity";
        QTest::newRow("file missing")
            << QStringList{"restore", "3", "--from", "/nonexistent/set.json", "--yes"} << "cannot be read";
        QTest::newRow("unknown option") << QStringList{"read", "3", "--bogus"} << "bogus";
        QTest::newRow("scan upside down") << QStringList{"scan", "--from", "9", "--to", "3"} << "within 0..63";
        QTest::newRow("scan to 64") << QStringList{"scan", "--to", "64"} << "within 0..63";
        QTest::newRow("scan an address") << QStringList{"scan", "3"} << "takes no meter address";
        QTest::newRow("scan bauds") << QStringList{"scan", "--bauds", "9600,fast"} << "--bauds";
        QTest::newRow("scan parities") << QStringList{"scan", "--parities", "N,X"} << "--parities";
        QTest::newRow("scan stop bits") << QStringList{"scan", "--stopbits", "1,3"} << "--stopbits";
        QTest::newRow("scan time-out") << QStringList{"scan", "--timeout", "0"} << "--timeout";
    }

    void badInputChangesNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, told);
        QVERIFY(start({}));
        const qsizetype before = sim->requests().size();
        const Run run = cli(arguments);
        QCOMPARE(run.exit, 2);
        QVERIFY2(run.err.contains(told), qPrintable(run.err));
        QCOMPARE(sim->requests().size(), before);
        QVERIFY(!QFile::exists(path("qlvmsets.db")));
    }

    // A set file with a register value beyond 16 bits is refused whole.
    void aTamperedFileIsRefused()
    {
        QVERIFY(start({}));
        QVERIFY(changedBackup("tampered.json", {{3, 70000}}));
        for (const QStringList &arguments :
             {QStringList{"restore", "3", "--from", path("tampered.json"), "--yes"},
              QStringList{"copy", "--from", path("tampered.json"), "--to", "4", "--yes"}}) {
            const Run run = cli(arguments);
            QCOMPARE(run.exit, 2);
            QVERIFY2(run.err.contains("does not fit a 16-bit register. Nothing was imported."),
                     qPrintable(run.err));
        }
        QVERIFY(writesOf(parameterRequests()).isEmpty());
        QVERIFY(SetStore(home->path()).writeLog().isEmpty());
    }

    // Meters deaf to anything but 19200 baud and two stop bits are found
    // there, an exception answer too; the settings with no meter are told.
    void aScanFindsTheMetersAtTheirSetting()
    {
        QVERIFY(start({"--baud", "19200", "--stop-bits", "2", "--strict-line", "--refuse", "5"}));
        const Run run = cli({"scan", "--to", "8", "--bauds", "9600,19200", "--stopbits", "1,2", "--json"});
        QCOMPARE(run.exit, 0);
        const QJsonArray found = run.json().value("found").toArray();
        QCOMPARE(found.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const QJsonObject find = found[i].toObject();
            QCOMPARE(find.value("address").toInt(), 3 + i);
            QCOMPARE(find.value("setting").toString(), QStringLiteral("19200 8N2"));
            QCOMPARE(find.contains("exceptionCode"), i == 2);
        }
        QCOMPARE(run.json().value("nothingAt").toArray().size(), 3);

        const Run own = cli({"scan", "--to", "8"});
        QCOMPARE(own.exit, 1);
        QVERIFY2(own.out.contains("9600 8N1: no meter answered.") && own.out.contains("No meter answered"),
                 own.out.constData());
    }

    // The desktop program holds the port: the tool says so and stops.
    void aHeldPortIsRefused()
    {
        QVERIFY(start({}));
        QSerialPort holder(sim->devicePath());
        QVERIFY(holder.open(QIODevice::ReadWrite));
        const Run run = cli({"read", "3"});
        QCOMPARE(run.exit, 3);
        QVERIFY2(run.err.contains("held by another program"), qPrintable(run.err));
        QCOMPARE(cli({"scan", "--to", "2"}).exit, 3);
        holder.close();
        QCOMPARE(cli({"read", "3"}).exit, 0);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
