#include "CEditGrid.h"
#include "Language.h"
#include "ParameterDialog.h"
#include "RecordingPrompts.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

using Kind = RecordingPrompts::Kind;

constexpr long kValue = 2;

// Four parameters; the second has one decimal place, so 12.5 is register
// value 125 and the register holds -3276.8 .. 3276.7.
ParameterDisplay sampleDisplay()
{
    ParameterDisplay display;
    display.parameterCount = 4;
    display.names = {"Alarm high", "Set point", "Offset", "Address"};
    display.values = {"100", "12.5", "-3.0", "7"};
    display.oneDecimal = {false, true, true, false};
    return display;
}

// The dialog, not yet shown, with prompts that record and a writer that
// records the lists it is handed.
struct OpenDialog {
    Language language;
    RecordingPrompts prompts;
    QList<ParameterWriteList> written;
    bool lineAccepts = true;
    QPointer<ParameterDialog> dialog;

    explicit OpenDialog(int languageIndex = 1, const ParameterDisplay &display = sampleDisplay())
        : language(languageIndex)
    {
        dialog = new ParameterDialog(display, language, prompts, [this](const ParameterWriteList &list) {
            written.append(list);
            return lineAccepts;
        });
    }
    ~OpenDialog() { delete dialog; }
    bool show()
    {
        dialog->show();
        return QTest::qWaitForWindowActive(dialog);
    }

    template <typename T> T *find(const char *name) const
    {
        return dialog->findChild<T *>(QLatin1String(name));
    }
    CEditGrid *grid() const { return dialog->grid(); }
    QLineEdit *editor() const { return grid()->cellEditor(); }
    QString cell(long row, long col = kValue) const { return grid()->item(int(row) - 1, int(col))->text(); }
    void click(long row, long col = kValue)
    {
        const QPoint centre = grid()->visualRect(grid()->cellIndex(row, col)).center();
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, centre);
    }
    // Types the text into the value cell of the row as an operator would.
    void edit(long row, const QString &text)
    {
        click(row);
        QTest::keyClick(grid(), Qt::Key_Backspace);
        QTest::keyClicks(editor(), text);
        QTest::keyClick(editor(), Qt::Key_Return);
    }
    void writeAll() { find<QRadioButton>("writeAll")->click(); }
    void pressWrite() { QTest::mouseClick(find<QPushButton>("writeButton"), Qt::LeftButton); }
};

} // namespace

class TestParameterDialog : public QObject {
    Q_OBJECT

private slots:
    void textsFollowTheLanguage_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("texts");
        QTest::newRow("Chinese")
            << 0 << "所有参数|写入仪表|所有参数|仅修改的参数|写入|返回主界面|序号|参数名称|参数值";
        QTest::newRow("English")
            << 1
            << "All Parameter|Write In Meter|All Parameter|Only Changed|Write In|Cancel|No."
               "|Parameter|Value";
    }

    void textsFollowTheLanguage()
    {
        QFETCH(int, language);
        OpenDialog open(language);
        const ParameterDialog &dialog = *open.dialog;
        QVERIFY(dialog.isHidden());
        QVERIFY(!dialog.isModal() && dialog.testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(dialog.windowFlags() & Qt::WindowTitleHint);
        QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
        const QStringList shown{dialog.windowTitle(),
                                open.find<QGroupBox>("writeGroup")->title(),
                                open.find<QRadioButton>("writeAll")->text(),
                                open.find<QRadioButton>("writeChanged")->text(),
                                open.find<QPushButton>("writeButton")->text(),
                                open.find<QPushButton>("cancelButton")->text(),
                                open.grid()->horizontalHeaderItem(0)->text(),
                                open.grid()->horizontalHeaderItem(1)->text(),
                                open.grid()->horizontalHeaderItem(2)->text()};
        QTEST(shown.join(QLatin1Char('|')), "texts");
        QVERIFY(open.find<QRadioButton>("writeChanged")->isChecked());
        QVERIFY(open.find<QPushButton>("writeButton")->isDefault());
    }

    void rowsBaselineAndColoursAreLoaded()
    {
        OpenDialog open;
        QVERIFY(open.show());
        QCOMPARE(open.grid()->GetRows(), 5L);
        QCOMPARE(QStringList({open.cell(3, 0), open.cell(3, 1), open.cell(3)}),
                 QStringList({"3", "Offset", "-3.0"}));
        const QList<double> baseline{open.dialog->baseline(0), open.dialog->baseline(1),
                                     open.dialog->baseline(2), open.dialog->baseline(3)};
        QCOMPARE(baseline, (QList<double>{100, 12.5, -3, 7}));
        QCOMPARE(open.grid()->GetRow(), 4L);
        QCOMPARE(open.grid()->GetCol(), kValue);

        QCOMPARE(QColor(open.dialog->grab().toImage().pixel(2, 2)), QColor(135, 170, 220));
        const QImage cells = open.grid()->viewport()->grab().toImage();
        const QRect value = open.grid()->visualRect(open.grid()->cellIndex(1, kValue));
        QCOMPARE(QColor(cells.pixel(value.left() + 2, value.center().y())), QColor(240, 240, 200));
        QCOMPARE(QColor(cells.pixel(value.center().x(), cells.height() - 3)), QColor(155, 155, 155));
    }

    void writingChangedWritesTheEditedRowOnce_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("texts");
        QTest::newRow("Chinese") << 0 << "是否将修改的参数写入仪表？|确认写入|参数值未修改|未写入";
        QTest::newRow("English") << 1
                                 << "Would you write CHANGED PARAMETER into meter?|Write into meter?"
                                    "|The value of parameter(s) is not changed.|No wrote in";
    }

    void writingChangedWritesTheEditedRowOnce()
    {
        QFETCH(int, language);
        OpenDialog open(language);
        QVERIFY(open.show());
        open.edit(2, QStringLiteral("13"));
        open.pressWrite();
        QCOMPARE(open.written.size(), 1);
        QCOMPARE(open.written[0].count, 1);
        QCOMPARE(open.written[0].index[0], 1);
        QCOMPARE(open.written[0].value[0], 13.0);
        QCOMPARE(open.dialog->baseline(1), 13.0);

        open.pressWrite();
        QCOMPARE(open.written.size(), 1);
        QStringList shown;
        for (const auto &prompt : open.prompts.shown)
            shown << prompt.text << prompt.caption;
        QTEST(shown.mid(0, 2).join(u'|') + u'|' + shown.mid(4).join(u'|'), "texts");
        QCOMPARE(open.prompts.shown.last().kind, Kind::Warning);
        QVERIFY(open.dialog->isVisible());
    }

    void retypingTheSameNumberIsNoChange()
    {
        OpenDialog open;
        QVERIFY(open.show());
        open.edit(2, QStringLiteral("12.50"));
        open.pressWrite();
        QCOMPARE(open.prompts.count(Kind::Warning), 1);
        QVERIFY(open.written.isEmpty());
    }

    void valueTheMeterCannotTakeBlocksTheWrite_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("all");
        QTest::addColumn<QString>("message");
        const QString text =
            "The value \"%1\" of parameter No.2 \"Set point\" is not a number, nothing was written!";
        const QString range =
            "The value %1 of parameter No.2 \"Set point\" is out of range, nothing was written!";
        QTest::newRow("text") << 1 << "abc" << false << text.arg("abc");
        QTest::newRow("empty") << 1 << "" << true << text.arg("");
        QTest::newRow("number followed by text") << 1 << "12abc" << false << text.arg("12abc");
        QTest::newRow("nan") << 1 << "nan" << true << text.arg("nan");
        QTest::newRow("inf") << 1 << "inf" << false << text.arg("inf");
        QTest::newRow("40000 with one decimal") << 1 << "40000" << false << range.arg("40000");
        QTest::newRow("below the register") << 1 << "-3276.9" << true << range.arg("-3276.9");
        QTest::newRow("Chinese") << 0 << "abc" << false
                                 << "第 2 号参数“Set point”的值“abc”不是数字，没有写入任何参数！";
    }

    void valueTheMeterCannotTakeBlocksTheWrite()
    {
        QFETCH(int, language);
        QFETCH(QString, typed);
        QFETCH(bool, all);
        OpenDialog open(language);
        QVERIFY(open.show());
        if (all)
            open.writeAll();
        open.edit(2, typed);
        open.pressWrite();
        QCOMPARE(open.prompts.shown.size(), 1);
        QCOMPARE(open.prompts.shown[0].kind, Kind::Error);
        QTEST(open.prompts.shown[0].text, "message");
        QCOMPARE(open.prompts.shown[0].caption, QString(language ? "Error" : "错误"));
        QVERIFY(open.written.isEmpty());
        QCOMPARE(open.dialog->baseline(1), 12.5);
        QCOMPARE(open.grid()->GetRow(), 2L);
        QVERIFY(open.editor()->isVisible());
        QCOMPARE(open.editor()->selectedText(), typed);
    }

    void writableValuesAreWrittenAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("value");
        QTest::newRow("negative decimal") << "-12.5" << -12.5;
        QTest::newRow("blanks around") << " 13 " << 13.0;
        QTest::newRow("exponent, as atof reads it") << "1e2" << 100.0;
        QTest::newRow("top of the register") << "3276.7" << 3276.7;
        QTest::newRow("bottom of the register") << "-3276.8" << -3276.8;
    }

    void writableValuesAreWrittenAsTyped()
    {
        QFETCH(QString, typed);
        OpenDialog open;
        QVERIFY(open.show());
        open.edit(2, typed);
        open.pressWrite();
        QCOMPARE(open.prompts.count(Kind::Error), 0);
        QCOMPARE(open.written.size(), 1);
        QTEST(open.written[0].value[0], "value");
    }

    void writingAllSendsEveryRowInOrder()
    {
        OpenDialog open;
        QVERIFY(open.show());
        open.edit(3, QStringLiteral("5"));
        open.writeAll();
        open.pressWrite();
        QCOMPARE(open.prompts.shown.size(), 1);
        QCOMPARE(open.prompts.lastText(), QStringLiteral("Would you write ALL PARAMETER into meter?"));
        QCOMPARE(open.written.size(), 1);
        const ParameterWriteList &list = open.written[0];
        QCOMPARE(list.count, 4);
        QCOMPARE((QList<int>{list.index[0], list.index[1], list.index[2], list.index[3]}),
                 (QList<int>{0, 1, 2, 3}));
        QCOMPARE((QList<double>{list.value[0], list.value[1], list.value[2], list.value[3]}),
                 (QList<double>{100, 12.5, 5, 7}));
        QCOMPARE(open.dialog->baseline(2), -3.0);
    }

    void noWriteStartedKeepsTheBaseline_data()
    {
        QTest::addColumn<bool>("all");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<int>("writes");
        QTest::newRow("answering No to writing changed") << false << false << 0;
        QTest::newRow("answering No to writing all") << true << false << 0;
        QTest::newRow("the line refuses the write") << false << true << 1;
    }

    void noWriteStartedKeepsTheBaseline()
    {
        QFETCH(bool, all);
        OpenDialog open;
        QVERIFY(open.show());
        QFETCH(bool, answer);
        open.prompts.answer = answer;
        open.lineAccepts = false;
        if (all)
            open.writeAll();
        open.edit(2, QStringLiteral("13"));
        open.pressWrite();
        QCOMPARE(open.prompts.shown.size(), 1);
        QTEST(int(open.written.size()), "writes");
        QCOMPARE(open.dialog->baseline(1), 12.5);
    }

    void escapeOnTheGridOrInTheEditorKeepsTheWindow()
    {
        OpenDialog open;
        QVERIFY(open.show());
        open.click(2);
        QTest::keyClick(open.grid(), Qt::Key_Escape);
        QTest::keyClick(open.grid(), Qt::Key_9);
        QTest::keyClick(open.editor(), Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(open.dialog && open.dialog->isVisible());
        QCOMPARE(open.cell(2), QStringLiteral("12.5"));
        QVERIFY(!open.editor()->isVisible());
    }

    void cancelDestroysTheWindow_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Escape on the cancel button") << true;
        QTest::newRow("clicking the cancel button") << false;
    }

    void cancelDestroysTheWindow()
    {
        QFETCH(bool, escape);
        OpenDialog open;
        QVERIFY(open.show());
        auto *cancel = open.find<QPushButton>("cancelButton");
        cancel->setFocus();
        if (escape)
            QTest::keyClick(cancel, Qt::Key_Escape);
        else
            QTest::mouseClick(cancel, Qt::LeftButton);
        QTRY_VERIFY(open.dialog.isNull());
        QVERIFY(open.written.isEmpty());
    }

    void enterEditsOnTheGridStoresInTheEditorAndWritesElsewhere()
    {
        OpenDialog open;
        QVERIFY(open.show());
        open.click(2);
        QTest::keyClick(open.grid(), Qt::Key_Return);
        QCOMPARE(open.editor()->selectedText(), QStringLiteral("12.5"));
        QTest::keyClicks(open.editor(), QStringLiteral("8"));
        QTest::keyClick(open.editor(), Qt::Key_Enter);
        QCOMPARE(open.cell(2), QStringLiteral("8"));
        QVERIFY(open.grid()->hasFocus());
        QVERIFY(open.prompts.shown.isEmpty());

        auto *radio = open.find<QRadioButton>("writeAll");
        radio->setFocus();
        QTest::keyClick(radio, Qt::Key_Return);
        QCOMPARE(open.prompts.lastText(), QStringLiteral("Would you write CHANGED PARAMETER into meter?"));
    }

    void tabStoresTheEdit()
    {
        OpenDialog open;
        QVERIFY(open.show());
        open.click(2);
        QTest::keyClick(open.grid(), Qt::Key_8);
        QTest::keyClick(open.editor(), Qt::Key_Tab);
        QCOMPARE(open.cell(2), QStringLiteral("8"));
        QVERIFY(open.grid()->hasFocus());

        QTest::keyClick(open.grid(), Qt::Key_9);
        // A click on a fixed cell takes the focus but leaves the edit open.
        open.click(3, 1);
        QVERIFY(open.grid()->hasFocus() && open.editor()->isVisible());
        QTest::keyClick(open.grid(), Qt::Key_Tab);
        QCOMPARE(open.cell(2), QStringLiteral("9"));
        QVERIFY(!open.editor()->isVisible());
        QCOMPARE(QApplication::focusWidget(), open.find<QPushButton>("writeButton"));
    }

    void columnsShareTheGridsWidth()
    {
        OpenDialog open;
        QVERIFY(open.show());
        const CEditGrid &grid = *open.grid();
        const auto widthsFit = [&grid] {
            const double twips = grid.viewport()->width() * 15;
            return grid.columnWidth(0) == long(twips * 0.12) / 15 &&
                   grid.columnWidth(1) == long(twips * 0.65) / 15 &&
                   grid.columnWidth(2) == long(twips * 0.2) / 15;
        };
        QVERIFY(widthsFit());
        const int before = grid.columnWidth(1);
        open.dialog->resize(open.dialog->width() + 200, open.dialog->height());
        QTRY_VERIFY(grid.columnWidth(1) > before);
        QVERIFY(widthsFit());
    }

    void firstViewShowsARowsScreenAndWholeCaptions()
    {
        ParameterDisplay display;
        display.parameterCount = 20;
        display.names.fill(QStringLiteral("Alarm High Limit 2 S"));
        display.names[0] = QStringLiteral("第二报警上限值回差设定");
        OpenDialog open(1, display);
        QVERIFY(open.show());
        const CEditGrid &grid = *open.grid();
        QVERIFY(grid.visualRect(grid.cellIndex(12, kValue)).bottom() < grid.viewport()->height());
        const QFontMetrics metrics(grid.font());
        QVERIFY(grid.font().bold());
        for (const QString &caption : {display.names[0], display.names[1]})
            QVERIFY2(grid.columnWidth(1) > metrics.horizontalAdvance(caption) + 4, qPrintable(caption));
    }
};

QTEST_MAIN(TestParameterDialog)
#include "tst_parameterdialog.moc"
