#include "ChartLimits.h"
#include "ChartRangeDialog.h"
#include "ChartSettingsDialog.h"
#include "ColourListBox.h"
#include "Language.h"
#include "NumericEdit.h"
#include "RecordingPrompts.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

Q_DECLARE_METATYPE(ChartLimitFault)

namespace {

using Kind = RecordingPrompts::Kind;

const QList<QColor> kRgb{Qt::red, Qt::green, Qt::blue};

// One of the two limit dialogs, shown (modal but not blocking) in English.
struct OpenDialog {
    Language language{1};
    RecordingPrompts prompts;
    std::unique_ptr<QDialog> dialog;

    explicit OpenDialog(bool range)
    {
        if (range) {
            auto *chartRange = new ChartRangeDialog(language, prompts);
            chartRange->setLimits(100, 0);
            dialog.reset(chartRange);
        } else {
            auto *settings = new ChartSettingsDialog(language, prompts);
            settings->setValues(0, 100, kRgb);
            dialog.reset(settings);
        }
    }
    bool show()
    {
        dialog->show();
        return QTest::qWaitForWindowActive(dialog.get());
    }
    template <typename T = QLineEdit> T *find(const char *name) const
    {
        return dialog->findChild<T *>(QLatin1String(name));
    }
    ChartSettingsDialog *settings() const { return qobject_cast<ChartSettingsDialog *>(dialog.get()); }
    // The upper and lower limit the dialog hands back.
    QList<double> limits() const
    {
        if (auto *range = qobject_cast<ChartRangeDialog *>(dialog.get()))
            return {range->upper(), range->lower()};
        return {settings()->upperLimit(), settings()->lowerLimit()};
    }
    ColourListBox *list() const { return settings()->colourList(); }
    // Empties the edit with its shortcuts and types the text key by key.
    void type(const char *edit, const QString &text)
    {
        QLineEdit *field = find(edit);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, text);
    }
    void press(const char *button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    void doubleClickRow(int row)
    {
        const QRect rect = list()->visualItemRect(list()->item(row));
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, rect.center());
    }
};

// Picks a colour in the next colour chooser and closes it with OK or
// Cancel, noting the colour it opened on. The chooser runs modally inside
// the double-click, so it is found by polling.
class ColourChooserAnswer {
public:
    ColourChooserAnswer(const QColor &answer, bool confirm)
    {
        QObject::connect(&poll, &QTimer::timeout, [this, answer, confirm] {
            auto *chooser = qobject_cast<QColorDialog *>(QApplication::activeModalWidget());
            if (!chooser)
                return;
            openedOn = chooser->currentColor();
            chooser->setCurrentColor(answer);
            confirm ? chooser->accept() : chooser->reject();
            poll.stop();
        });
        poll.start(10);
    }
    QColor openedOn;

private:
    QTimer poll;
};

QList<QColor> rowColours(const ColourListBox &list)
{
    QList<QColor> colours;
    for (int row = 0; row < list.count(); ++row)
        colours << list.colour(row);
    return colours;
}

} // namespace

class TestChartDialogs : public QObject {
    Q_OBJECT

private slots:
    void limitsAreCheckedInOrder_data()
    {
        QTest::addColumn<double>("upper");
        QTest::addColumn<double>("lower");
        QTest::addColumn<ChartLimitFault>("fault");
        QTest::newRow("both at their bounds") << 5000.0 << -273.15 << ChartLimitFault::None;
        QTest::newRow("upper above 5000") << 5000.1 << 0.0 << ChartLimitFault::UpperTooHigh;
        QTest::newRow("lower below -273.15") << 100.0 << -273.16 << ChartLimitFault::LowerTooLow;
        QTest::newRow("equal") << 50.0 << 50.0 << ChartLimitFault::LowerNotBelowUpper;
        QTest::newRow("100/100") << 100.0 << 100.0 << ChartLimitFault::LowerNotBelowUpper;
        QTest::newRow("upper too high wins") << 6000.0 << 7000.0 << ChartLimitFault::UpperTooHigh;
        QTest::newRow("lower too low wins") << -300.0 << -400.0 << ChartLimitFault::LowerTooLow;
    }

    void limitsAreCheckedInOrder()
    {
        QFETCH(double, upper);
        QFETCH(double, lower);
        QTEST(checkChartLimits(upper, lower), "fault");
    }

    void faultMessages()
    {
        QCOMPARE(chartLimitMessage(ChartLimitFault::UpperTooHigh, 1),
                 "Upper value is biger than 5000.0.\n\nPlease edit it.");
        QCOMPARE(chartLimitMessage(ChartLimitFault::LowerTooLow, 0), "数值超出允许范围-273.15，请修改");
        QVERIFY(chartLimitMessage(ChartLimitFault::None, 1).isEmpty());
    }

    void numericEditFiltersTypedCharacters_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("second point dropped") << "1.2.3"
                                              << "1.23";
        QTest::newRow("minus after a digit") << "1-2"
                                             << "12";
        QTest::newRow("minus into an empty field") << "-5"
                                                   << "-5";
        QTest::newRow("second minus") << "--5"
                                      << "-5";
        QTest::newRow("point first") << ".5"
                                     << ".5";
        QTest::newRow("letters, blanks and signs") << "1a b+2e3,"
                                                   << "123";
        QTest::newRow("backspace") << "12\b3"
                                   << "13";
        QTest::newRow("minus after erasing") << "1\b-2"
                                             << "-2";
        QTest::newRow("typing limit") << "-12345"
                                      << "-1234";
    }

    void numericEditFiltersTypedCharacters()
    {
        QFETCH(QString, typed);
        NumericEdit edit;
        edit.setTypingLimit(5);
        QTest::keyClicks(&edit, typed);
        QTEST(edit.text(), "shown");
    }

    void numericEditKeepsShortcutsAndPaste()
    {
        NumericEdit edit;
        edit.setTypingLimit(5);
        edit.setText(QStringLiteral("-273.15"));
        QCOMPARE(edit.text(), "-273.15");
        // A character is judged against the whole text, the selection
        // notwithstanding.
        QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&edit, Qt::Key_Minus);
        QCOMPARE(edit.text(), "-273.15");
        QTest::keyClick(&edit, Qt::Key_Home);
        QTest::keyClick(&edit, Qt::Key_Delete);
        QTest::keyClick(&edit, Qt::Key_Right);
        QTest::keyClick(&edit, Qt::Key_Delete);
        QCOMPARE(edit.text(), "23.15");
        QApplication::clipboard()->setText(QStringLiteral("x9"));
        QTest::keyClick(&edit, Qt::Key_End);
        QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit.text(), "23.15x9");
    }

    void limitsAreRefusedOrAccepted_data()
    {
        QTest::addColumn<bool>("range");
        QTest::addColumn<QString>("upper");
        QTest::addColumn<QString>("lower");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        // The pair handed back when OK passes at once.
        QTest::addColumn<QList<double>>("accepted");
        const QString tooHigh = chartLimitMessage(ChartLimitFault::UpperTooHigh, 1);
        const QString tooLow = chartLimitMessage(ChartLimitFault::LowerTooLow, 1);
        const QString notBelow = chartLimitMessage(ChartLimitFault::LowerNotBelowUpper, 1);
        const QList<double> none;
        QTest::newRow("settings: at the bounds") << false << "5000"
                                                 << "-273.15"
                                                 << ""
                                                 << "" << QList<double>{5000, -273.15};
        QTest::newRow("settings: 5000.1") << false << "5000.1"
                                          << "0" << tooHigh << "upperEdit" << none;
        QTest::newRow("settings: -273.16") << false << "100"
                                           << "-273.16" << tooLow << "lowerEdit" << none;
        QTest::newRow("settings: 6000/7000") << false << "6000"
                                             << "7000" << tooHigh << "upperEdit" << none;
        QTest::newRow("settings: 50/50") << false << "50"
                                         << "50" << notBelow << "lowerEdit" << none;
        QTest::newRow("settings: not a number reads 0") << false << "abc"
                                                        << "0" << notBelow << "lowerEdit" << none;
        QTest::newRow("range: 5000/-273") << true << "5000"
                                          << "-273"
                                          << ""
                                          << "" << QList<double>{5000, -273};
        QTest::newRow("range: -273.15 is cut to -273.") << true << "5000"
                                                        << "-273.15"
                                                        << ""
                                                        << "" << QList<double>{5000, -273};
        QTest::newRow("range: 5001") << true << "5001"
                                     << "0" << tooHigh << "upperEdit" << none;
        QTest::newRow("range: -274") << true << "100"
                                     << "-274" << tooLow << "lowerEdit" << none;
        QTest::newRow("range: 6000/7000") << true << "6000"
                                          << "7000" << tooHigh << "upperEdit" << none;
        QTest::newRow("range: 50/50") << true << "50"
                                      << "50" << notBelow << "lowerEdit" << none;
    }

    void limitsAreRefusedOrAccepted()
    {
        QFETCH(bool, range);
        QFETCH(QString, upper);
        QFETCH(QString, lower);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        QFETCH(QList<double>, accepted);
        OpenDialog open(range);
        QVERIFY(open.show());
        open.type("upperEdit", upper);
        open.type("lowerEdit", lower);
        QCOMPARE(open.find("lowerEdit")->text(), range ? lower.left(ChartRangeDialog::TypingLimit) : lower);
        open.press("okButton");
        if (message.isEmpty()) {
            QVERIFY(open.prompts.shown.isEmpty());
            QVERIFY(!open.dialog->isVisible());
            QCOMPARE(open.dialog->result(), int(QDialog::Accepted));
            QCOMPARE(open.limits(), accepted);
            return;
        }
        QCOMPARE(open.prompts.shown.size(), 1);
        QCOMPARE(open.prompts.count(Kind::Error), 1);
        QCOMPARE(open.prompts.lastText(), message);
        QCOMPARE(open.prompts.shown.last().caption, "Wrong");
        QVERIFY(open.dialog->isVisible());
        QLineEdit *focused = open.find(focus.toLatin1().constData());
        QVERIFY(focused->hasFocus());
        if (message == chartLimitMessage(ChartLimitFault::LowerNotBelowUpper, 1)) {
            QCOMPARE(focused->selectedText(), focused->text());
            QCOMPARE(focused->cursorPosition(), 0);
        }

        open.type("upperEdit", QStringLiteral("200"));
        open.type("lowerEdit", QStringLiteral("-10"));
        open.press("okButton");
        QCOMPARE(open.prompts.shown.size(), 1);
        QVERIFY(!open.dialog->isVisible());
        QCOMPARE(open.dialog->result(), int(QDialog::Accepted));
        QCOMPARE(open.limits(), QList<double>({200, -10}));
    }

    void rangeDialogRunsStartFromTheLimits()
    {
        Language language(1);
        RecordingPrompts prompts;
        ChartRangeDialog dialog(language, prompts);
        dialog.setLimits(1500, -20.5);
        QStringList shownAtStart;
        const auto run = [&](const QString &typed, const char *button) {
            QTimer::singleShot(0, &dialog, [&, typed, button] {
                auto *upper = dialog.findChild<NumericEdit *>(QStringLiteral("upperEdit"));
                shownAtStart << upper->text() + u'|' +
                                    dialog.findChild<NumericEdit *>(QStringLiteral("lowerEdit"))->text();
                // The upper limit is selected: typing replaces it.
                QTest::keyClicks(upper, typed);
                dialog.findChild<QPushButton *>(QLatin1String(button))->click();
            });
            return dialog.exec();
        };
        QCOMPARE(run(QStringLiteral("99"), "cancelButton"), int(QDialog::Rejected));
        QCOMPARE(dialog.upper(), 1500.0);
        QCOMPARE(run(QStringLiteral("800"), "okButton"), int(QDialog::Accepted));
        QCOMPARE(run(QString(), "cancelButton"), int(QDialog::Rejected));
        QCOMPARE(shownAtStart, QStringList({"1500|-20.5", "1500|-20.5", "800|-20.5"}));
        QCOMPARE(dialog.upper(), 800.0);
        QCOMPARE(dialog.lower(), -20.5);
        QVERIFY(prompts.shown.isEmpty());
    }

    void rangeDialogSignsPointToTheirLimit()
    {
        Language language(1);
        RecordingPrompts prompts;
        ChartRangeDialog dialog(language, prompts);
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("upperIcon"))->accessibleName(), "Upper");
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("lowerIcon"))->accessibleName(), "Lower");
        for (bool upper : {true, false}) {
            const QPixmap sign = ChartRangeDialog::limitSign(upper, 2);
            QCOMPARE(sign.size(), QSize(64, 64));
            QCOMPARE(sign.devicePixelRatio(), 2.0);
            const QImage image = sign.toImage();
            // Logical (20, 9.5) is on the bar of the upper sign, (20, 22.5)
            // on that of the lower one; beside the arrow's shaft elsewhere.
            const QColor top = image.pixelColor(40, 19);
            const QColor bottom = image.pixelColor(40, 45);
            QCOMPARE(upper ? top : bottom, QColor(Qt::black));
            QCOMPARE(upper ? bottom : top, QColor(255, 204, 0));
            QCOMPARE(image.pixelColor(2, 2).alpha(), 0);
            QCOMPARE(image.pixelColor(16, 32), QColor(255, 204, 0));
        }
    }

    void textsFollowTheLanguage_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("texts");
        QTest::newRow("Chinese") << 0 << "图表上下限设定|上限|确定|绘图设置|各监测项颜色|下限|CANCEL";
        QTest::newRow("English")
            << 1
            << "Chart Upper and Lower Limit setting|Upper|OK|Chart Setting|Line Color|Lower Limit|CANCEL";
    }

    void textsFollowTheLanguage()
    {
        QFETCH(int, language);
        Language speaking(1 - language);
        RecordingPrompts prompts;
        ChartRangeDialog range(speaking, prompts);
        ChartSettingsDialog settings(speaking, prompts);
        speaking.set(language);
        const QStringList texts{
            range.windowTitle(),
            range.findChild<QLabel *>(QStringLiteral("upperCaption"))->text(),
            range.findChild<QPushButton *>(QStringLiteral("okButton"))->text(),
            settings.windowTitle(),
            settings.colourList()->accessibleName(),
            settings.findChild<QLineEdit *>(QStringLiteral("lowerEdit"))->accessibleName(),
            settings.findChild<QPushButton *>(QStringLiteral("cancelButton"))->text()};
        QTEST(texts.join(u'|'), "texts");
    }

    void colourListShowsOneRowPerCurve()
    {
        OpenDialog open(false);
        QVERIFY(open.show());
        ColourListBox &list = *open.list();
        QCOMPARE(list.count(), 3);
        QCOMPARE(QStringList({list.item(0)->text(), list.item(1)->text(), list.item(2)->text()}),
                 QStringList({"1", "2", "3"}));
        QCOMPARE(rowColours(list), kRgb);
        QCOMPARE(list.item(0)->data(Qt::AccessibleDescriptionRole).toString(), "#ff0000");
        QCOMPARE(list.item(2)->data(Qt::AccessibleTextRole).toString(), "3");
        QVERIFY(list.selectedItems().isEmpty());
        QCOMPARE(list.visualItemRect(list.item(1)).height(), ColourListBox::RowHeight);
        list.setSelectedColour(Qt::cyan);
        QCOMPARE(rowColours(list), kRgb);
        QVERIFY(!list.colour(3).isValid());

        list.item(1)->setFlags(list.item(1)->flags() & ~Qt::ItemIsEnabled);
        list.setCurrentRow(2);
        // Away from the list, so no focus frame tints the selected row.
        open.find("upperEdit")->setFocus();
        const QImage rows = list.viewport()->grab().toImage();
        const QPalette &palette = list.palette();
        const auto swatchAndEnd = [&](int row) {
            const QRect rect = list.visualItemRect(list.item(row));
            const int middle = rect.left() + rect.width() / 2;
            return QList<QColor>{rows.pixelColor(rect.left() + 2, rect.center().y()),
                                 rows.pixelColor((rect.left() + middle) / 2, rect.center().y()),
                                 rows.pixelColor(rect.right() - 4, rect.center().y())};
        };
        QCOMPARE(swatchAndEnd(0), QList<QColor>({Qt::black, Qt::red, palette.color(QPalette::Base)}));
        // A disabled row is drawn in the palette's disabled colours.
        QCOMPARE(swatchAndEnd(1), QList<QColor>({Qt::black, palette.color(QPalette::Disabled, QPalette::Text),
                                                 palette.color(QPalette::Disabled, QPalette::Base)}));
        QCOMPARE(swatchAndEnd(2), QList<QColor>({Qt::black, Qt::blue, palette.color(QPalette::Highlight)}));
        list.setSelectedColour(Qt::cyan);
        QCOMPARE(rowColours(list), QList<QColor>({Qt::red, Qt::green, Qt::cyan}));
        QCOMPARE(list.item(2)->text(), "3");
    }

    void doubleClickChangesTheRowsColour_data()
    {
        QTest::addColumn<bool>("chooserConfirms");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QList<QColor>>("rows");
        QTest::addColumn<QList<QColor>>("returned");
        const QList<QColor> changed{Qt::red, Qt::black, Qt::blue};
        QTest::newRow("OK") << true << "okButton" << changed << changed;
        QTest::newRow("Cancel") << true << "cancelButton" << changed << kRgb;
        QTest::newRow("chooser cancelled") << false << "okButton" << kRgb << kRgb;
    }

    void doubleClickChangesTheRowsColour()
    {
        QFETCH(bool, chooserConfirms);
        QFETCH(QString, button);
        OpenDialog open(false);
        QVERIFY(open.show());
        {
            ColourChooserAnswer answer(Qt::black, chooserConfirms);
            open.doubleClickRow(1);
            QCOMPARE(answer.openedOn, QColor(Qt::green));
        }
        QTEST(rowColours(*open.list()), "rows");
        QCOMPARE(open.list()->item(1)->text(), "2");
        QCOMPARE(open.list()->item(1)->data(Qt::AccessibleDescriptionRole).toString(),
                 open.list()->colour(1).name());
        open.press(button.toLatin1().constData());
        QVERIFY(!open.dialog->isVisible());
        QTEST(open.settings()->colours(), "returned");
        QCOMPARE(open.settings()->upperLimit(), 100.0);
    }
};

QTEST_MAIN(TestChartDialogs)
#include "tst_chartdialogs.moc"
