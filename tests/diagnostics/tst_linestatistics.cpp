#include "LineStatisticsModel.h"
#include "LineStatisticsWindow.h"
#include "LineUnderTest.h"
#include "MeterSimProcess.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

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
};

QTEST_MAIN(TestLineStatistics)
#include "tst_linestatistics.moc"
