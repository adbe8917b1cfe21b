#include "LineStatisticsModel.h"
#include "LineStatisticsWindow.h"
#include "LineUnderTest.h"
#include "MeterSimProcess.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Generous: two cores are shared by several builds.
constexpr int kDeadlineMs = 60000;

std::optional<ParameterMenu> noMenu(int)
{
    return std::nullopt;
}

// One line of comma-separated values, with quoted fields.
QStringList csvFields(const QString &line)
{
    QStringList fields(QString{});
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted && c == QLatin1Char('"') && i + 1 < line.size() && line[i + 1] == QLatin1Char('"'))
            fields.last() += line[++i];
        else if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (c == QLatin1Char(',') && !quoted)
            fields << QString();
        else
            fields.last() += c;
    }
    return fields;
}

} // namespace

class TestLineStatistics : public QObject {
    Q_OBJECT

    const QAbstractItemModel *shown = nullptr;
    // A line on which meter 1 answers its curve, meter 2 is silent and
    // meter 3 reads -500.0; started by the first test that needs it.
    std::unique_ptr<MeterSimProcess> lowSim;
    std::unique_ptr<LineUnderTest> lowLine;

    int rowOf(int meter) const
    {
        for (int row = 0; row < shown->rowCount(); ++row) {
            if (shown->index(row, LineStatisticsModel::Address).data().toString() ==
                QString::asprintf("%d#", meter))
                return row;
        }
        return -1;
    }
    QString cell(int meter, int column) const { return shown->index(rowOf(meter), column).data().toString(); }
    int number(int meter, int column) const { return cell(meter, column).toInt(); }
    int counts(int meter) const
    {
        using M = LineStatisticsModel;
        return number(meter, M::Answers) + number(meter, M::Missing) + number(meter, M::Garbage) +
               number(meter, M::Exceptions);
    }

private slots:
    void cleanupTestCase()
    {
        if (lowLine)
            lowLine->line->close();
        if (lowSim)
            QVERIFY(lowSim->stop());
    }

    // Meter 1 answers, 2 is silent, 3 answers with a bad CRC, 4 refuses.
    void statisticsFollowARealLine()
    {
        using M = LineStatisticsModel;
        MeterSimProcess sim;
        QVERIFY2(sim.start({"--addresses", "1-4", "--silent", "2", "--bad-crc", "3", "--refuse", "4"}),
                 qPrintable(sim.errorText()));
        LineUnderTest rig(sim.devicePath(), noMenu, 1, 4, 200);
        LineStatisticsWindow window(rig.values(), rig.meters, rig.language, rig.recorded);
        std::array<QString, Modbus::MeterCount> positions;
        positions[1] = QStringLiteral("Tank \"A\", north");
        window.setPositions(positions);
        QCOMPARE(window.objectName(), QStringLiteral("lineStatistics"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Line Statistics"));
        auto *table = window.findChild<QTableView *>(QStringLiteral("statisticsTable"));
        QVERIFY(table && !table->accessibleName().isEmpty());
        shown = table->model();
        QCOMPARE(shown->rowCount(), 4);

        QVERIFY(rig.open());
        QSignalSpy changed(shown, &QAbstractItemModel::dataChanged);
        QTRY_VERIFY_WITH_TIMEOUT(number(1, M::Answers) >= 3 && number(2, M::Missing) >= 2 &&
                                     number(3, M::Garbage) >= 2 && number(4, M::Exceptions) >= 2,
                                 kDeadlineMs);
        // A change of one meter touches its row alone.
        QVERIFY(!changed.isEmpty());
        for (const QList<QVariant> &signal : std::as_const(changed))
            QCOMPARE(signal[0].toModelIndex().row(), signal[1].toModelIndex().row());

        QCOMPARE(cell(1, M::Position), positions[1]);
        QCOMPARE(counts(1), number(1, M::Answers));
        QCOMPARE(cell(1, M::State), QStringLiteral("answering"));
        QVERIFY(!cell(1, M::LastGood).isEmpty());
        const int last = number(1, M::LastMs);
        const double average = cell(1, M::AverageMs).toDouble();
        const int maximum = number(1, M::MaxMs);
        QVERIFY2(last >= 0 && last <= maximum && average >= 0 && average <= maximum && maximum < 1000,
                 qPrintable(QStringLiteral("%1 %2 %3").arg(last).arg(average).arg(maximum)));
        for (int meter : {2, 3, 4}) {
            QCOMPARE(number(meter, M::Answers), 0);
            QVERIFY(cell(meter, M::LastMs).isEmpty() && cell(meter, M::AverageMs).isEmpty());
            QCOMPARE(cell(meter, M::State), QStringLiteral("not answering"));
        }
        QCOMPARE(number(3, M::Missing) + number(3, M::Exceptions), 0);
        QCOMPARE(number(4, M::Missing) + number(4, M::Garbage), 0);

        // Reset: the counts shown start again, the line's own stay.
        const int answersBefore = rig.values().health(1).answers;
        window.findChild<QPushButton *>(QStringLiteral("resetButton"))->click();
        for (int meter = 1; meter <= 4; ++meter) {
            QCOMPARE(counts(meter), 0);
            QVERIFY(cell(meter, M::MaxMs).isEmpty());
        }
        QVERIFY(rig.values().health(1).answers >= answersBefore);
        QTRY_VERIFY_WITH_TIMEOUT(number(1, M::Answers) >= 1 && number(2, M::Missing) >= 1, kDeadlineMs);
        QVERIFY(number(1, M::Answers) < rig.values().health(1).answers);

        // Sorted by a count, as a number.
        table->sortByColumn(M::Missing, Qt::DescendingOrder);
        QCOMPARE(shown->index(0, M::Address).data().toString(), QStringLiteral("2#"));
        QCOMPARE(shown->index(0, M::Missing).data(M::SortRole).typeId(), QMetaType::Int);

        // The copy reads back as the table it was taken from.
        window.findChild<QPushButton *>(QStringLiteral("copyButton"))->click();
        const QStringList lines =
            QGuiApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        QCOMPARE(csvFields(lines[0]).size(), int(M::ColumnCount));
        QCOMPARE(csvFields(lines[0])[M::Answers], QStringLiteral("Answers"));
        for (int row = 0; row < 4; ++row) {
            const QStringList fields = csvFields(lines[row + 1]);
            QCOMPARE(fields.size(), int(M::ColumnCount));
            for (int column = 0; column < M::ColumnCount; ++column)
                QCOMPARE(fields[column], shown->index(row, column).data().toString());
        }

        // Chinese on a change of language; a file that cannot be written is told.
        rig.language.set(0);
        QCOMPARE(window.windowTitle(), QStringLiteral("通讯统计"));
        QCOMPARE(shown->headerData(M::Address, Qt::Horizontal).toString(), QStringLiteral("地址"));
        QTemporaryDir dir;
        QVERIFY(!window.saveTo(dir.path()));
        QCOMPARE(rig.recorded.count(RecordingPrompts::Kind::Error), 1);
        QVERIFY(rig.recorded.lastText().contains(dir.path()));
        QVERIFY(window.saveTo(dir.filePath(QStringLiteral("statistics.csv"))));

        rig.line->close();
        QVERIFY(sim.stop());
    }

    // Every change the model makes, checked by Qt's model tester on the
    // model and on a sorting proxy like the window's: answers and faults of
    // meters in and out of the range, a reset of the counts and of the line,
    // the language, the positions and a change of the configured range.
    void theModelKeepsTheRulesOfAModel()
    {
        using M = LineStatisticsModel;
        using Tester = QAbstractItemModelTester;
        LiveValueTable values;
        MeterConfiguration meters;
        meters.set({1, 1, 200, 2, 1, 4, 4});
        const QDateTime when(QDate(2024, 5, 6), QTime(12, 0));
        values.countAnswer(2, 30, when);
        M model(values, meters, 1);
        QSortFilterProxyModel sorted;
        sorted.setSourceModel(&model);
        sorted.setSortRole(M::SortRole);
        sorted.sort(M::Answers, Qt::DescendingOrder);
        Tester direct(&model, Tester::FailureReportingMode::QtTest);
        Tester throughProxy(&sorted, Tester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 4);

        for (int round = 0; round < 3; ++round) {
            for (int meter = 0; meter <= 5; ++meter) {
                values.countAnswer(meter, 10 + round, when.addSecs(round));
                values.store(meter, round * 1.5);
                values.countMissing(meter);
                values.countGarbage(meter);
                values.countException(meter);
                values.markNotAnswering(meter);
            }
        }
        QCOMPARE(sorted.index(0, M::Address).data().toString(), QStringLiteral("2#"));
        QCOMPARE(sorted.index(0, M::Answers).data().toInt(), 4);

        model.resetBaseline();
        QCOMPARE(sorted.index(0, M::Answers).data().toInt(), 0);
        values.countAnswer(3, 12, when);
        values.resetHealth();
        model.setLanguage(0);
        QCOMPARE(sorted.headerData(M::Address, Qt::Horizontal).toString(), QStringLiteral("地址"));
        std::array<QString, Modbus::MeterCount> positions;
        positions[3] = QStringLiteral("north");
        model.setPositions(positions);

        const QList<std::pair<int, int>> ranges{{3, 9}, {5, 5}, {7, 6}, {0, 63}};
        for (const auto &[first, last] : ranges) {
            meters.set({1, 1, 200, 2, first, last, std::max(last - first + 1, 0)});
            QCOMPARE(model.rowCount(), std::max(last - first + 1, 0));
            values.countAnswer(first, 10, when);
            values.store(first, 1.0);
        }
    }

    void stateOfAWindowOpenedOnARunningLine_data()
    {
        QTest::addColumn<int>("meter");
        QTest::addColumn<bool>("answering");
        QTest::addColumn<QString>("state");
        QTest::newRow("a meter that reads -500.0 is answering") << 3 << true << QStringLiteral("answering");
        QTest::newRow("a silent meter is not answering") << 2 << false << QStringLiteral("not answering");
        QTest::newRow("a meter on its curve is answering") << 1 << true << QStringLiteral("answering");
    }
    void stateOfAWindowOpenedOnARunningLine()
    {
        QFETCH(int, meter);
        QFETCH(bool, answering);
        QFETCH(QString, state);
        if (!lowLine) {
            lowSim = std::make_unique<MeterSimProcess>();
            QVERIFY2(lowSim->start({"--addresses", "1-3", "--silent", "2", "--value", "3=-5000"}),
                     qPrintable(lowSim->errorText()));
            lowLine = std::make_unique<LineUnderTest>(lowSim->devicePath(), noMenu, 1, 3, 200);
            QVERIFY(lowLine->open());
        }
        const LiveValueTable &values = lowLine->values();
        QTRY_VERIFY_WITH_TIMEOUT(values.health(meter).answers + values.health(meter).missing > 0 &&
                                     values.answering(meter) == answering,
                                 kDeadlineMs);
        // What the window finds when it opens, before the line's next word.
        LineStatisticsWindow window(values, lowLine->meters, lowLine->language, lowLine->recorded);
        shown = window.findChild<QTableView *>(QStringLiteral("statisticsTable"))->model();
        QCOMPARE(cell(meter, LineStatisticsModel::State), state);
    }
};

QTEST_MAIN(TestLineStatistics)
#include "tst_linestatistics.moc"
