// The parameter sets window as the System menu's data backup opens it.
#include "FrameTestSupport.h"

#include "CommandIds.h"
#include "ParameterSetsWindow.h"

#include <QStandardItemModel>

class TestSetsWindowFrame : public QObject {
    Q_OBJECT

private slots:
    void theCommandOpensTheWindow_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QString>("title");
        QTest::newRow("Chinese") << 0 << QStringLiteral("参数组");
        QTest::newRow("English") << 1 << QStringLiteral("Parameter sets");
    }
    void theCommandOpensTheWindow()
    {
        QFETCH(int, lang);
        QFETCH(QString, title);
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QString::number(lang));
        fixture.setMeterRange(3, 5, 300);
        CMainFrame *frame = fixture.start();
        QVERIFY(frame);
        fixture.prompts.clear();
        QVERIFY(!frame->parameterSets());
        frame->onCommand(CommandId::DataBackup);
        ParameterSetsWindow *window = frame->parameterSets();
        QVERIFY(window);
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 60000);
        QCOMPARE(window->windowTitle(), title);
        QCOMPARE(fixture.prompts.count(RecordingPrompts::Kind::Warning), 0);
        // The configured meters, by address.
        QCOMPARE(window->metersModel()->rowCount(), 3);
        QCOMPARE(window->metersModel()->item(0, 0)->text(), QStringLiteral("3"));

        // The window follows the language; the same window comes up again.
        frame->onCommand(lang == 1 ? CommandId::Chinese : CommandId::English);
        QCOMPARE(window->windowTitle(), QString::fromUtf8(lang == 1 ? "参数组" : "Parameter sets"));
        frame->onCommand(CommandId::DataBackup);
        QCOMPARE(frame->parameterSets(), window);
    }
};

QTEST_MAIN(TestSetsWindowFrame)
#include "tst_setswindowframe.moc"
