#include "ChartLegend.h"
#include "LineAlarms.h"
#include "LineUnderTest.h"
#include "MeterSimProcess.h"
#include "PvSvPanel.h"

#include <QAccessible>
#include <QLabel>
#include <QTest>

#include <memory>

namespace {

// Generous: two cores are shared by several builds.
constexpr int kDeadlineMs = 60000;

std::optional<ParameterMenu> noMenu(int)
{
    return std::nullopt;
}

// What a screen reader is given for `widget`, or for row `row` of a list.
QString accessibleText(QWidget *widget, QAccessible::Text text, int row = -1)
{
    QAccessibleInterface *shown = QAccessible::queryAccessibleInterface(widget);
    if (shown && row >= 0)
        shown = shown->child(row);
    return shown ? shown->text(text) : QStringLiteral("<no accessible interface>");
}

} // namespace

// The value panels and the chart legend on a real line: meter 1 answers its
// curve, meter 2 is silent and meter 3 reads -500.0 (its register 200 holds
// -5000 tenths).
class TestPanelsOnline : public QObject {
    Q_OBJECT

    MeterSimProcess sim;
    std::unique_ptr<LineUnderTest> rig;
    std::unique_ptr<ChartLegend> legend;

private slots:
    void initTestCase()
    {
        QVERIFY2(sim.start({"--addresses", "1-3", "--silent", "2", "--value", "3=-5000"}),
                 qPrintable(sim.errorText()));
        rig = std::make_unique<LineUnderTest>(sim.devicePath(), noMenu, 1, 3, 200);
        legend = std::make_unique<ChartLegend>(rig->values(), rig->language);
        legend->setCurves({1, 2, 3}, {Qt::red, Qt::green, Qt::blue});
        QVERIFY(rig->open());
        // Every meter has been asked: the silent one found silent, the others
        // with a value stored.
        QTRY_VERIFY_WITH_TIMEOUT(rig->values().health(2).missing > 0 && rig->storedSince.contains(1) &&
                                     rig->storedSince.contains(3),
                                 kDeadlineMs);
    }

    void cleanupTestCase()
    {
        rig->line->close();
        QVERIFY(sim.stop());
    }

    void meter_value_on_its_panel_and_in_the_legend_data()
    {
        QTest::addColumn<int>("meter");
        QTest::addColumn<QString>("shown"); // empty: the meter's live value
        QTest::addColumn<bool>("answering");
        QTest::newRow("a meter that reads -500.0 shows -500.0") << 3 << QStringLiteral("-500.0") << true;
        QTest::newRow("a silent meter shows ----") << 2 << QStringLiteral("----") << false;
        QTest::newRow("an answering meter shows its value") << 1 << QString() << true;
    }
    void meter_value_on_its_panel_and_in_the_legend()
    {
        QFETCH(int, meter);
        QFETCH(QString, shown);
        QFETCH(bool, answering);
        const auto expected = [&] {
            return shown.isEmpty() ? QString::asprintf("%.1f", rig->values().value(meter)) : shown;
        };
        const LineAlarms alarms;
        PvSvPanel panel(meter, rig->values(), alarms, rig->language, rig->recorded);
        auto *value = panel.findChild<QLabel *>(QStringLiteral("pvValue"));
        QVERIFY(value);
        const int curve = int(legend->addresses().indexOf(meter));
        // A slow answer may have a meter marked silent for a moment; the
        // panel and the legend settle on what the meter answers.
        const auto settled = [&] {
            panel.refresh();
            return panel.valueText() == expected() &&
                   legend->rowText(curve).endsWith(QStringLiteral(": ") + expected());
        };
        QTRY_VERIFY_WITH_TIMEOUT(settled(), kDeadlineMs);
        QCOMPARE(panel.notAnswering(), !answering);
        QCOMPARE(legend->rowText(curve), QStringLiteral("%1#: %2").arg(meter).arg(panel.valueText()));

        // A screen reader reads the value as shown, with "not answering" for
        // a silent meter, and the legend's rows as shown.
        QCOMPARE(accessibleText(value, QAccessible::Name), panel.valueText());
        QCOMPARE(accessibleText(value, QAccessible::Description),
                 answering ? QString() : QStringLiteral("not answering"));
        QCOMPARE(accessibleText(legend.get(), QAccessible::Name, curve), legend->rowText(curve));
    }
};

QTEST_MAIN(TestPanelsOnline)
#include "tst_panelsonline.moc"
