#include "ProgressDialog.h"
#include "TextProgressBar.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

namespace {

const QColor kBar(0, 0, 255);
const QColor kBack(255, 255, 255);
const QColor kText(255, 0, 0);
const QColor kTextOnBar(255, 255, 0);

// Colours no two of which blend into one another, so every pixel tells
// which part of the bar, and which copy of the text, it belongs to.
void useTestColours(TextProgressBar &bar)
{
    bar.setBarColour(kBar);
    bar.setBackColour(kBack);
    bar.setTextColour(kText);
    bar.setTextOnBarColour(kTextOnBar);
}

bool reddish(QRgb p)
{
    return qRed(p) > 180 && qGreen(p) < 100 && qBlue(p) < 100;
}
bool yellowish(QRgb p)
{
    return qRed(p) > 180 && qGreen(p) > 180 && qBlue(p) < 100;
}

QImage picture(QWidget &widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Pixels of the picture that are neither of the two fill colours.
QRect textBounds(const QImage &image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (p != kBar.rgb() && p != kBack.rgb())
                bounds |= QRect(x, y, 1, 1);
        }
    return bounds;
}

// A bar of a known size on screen, with everything it was asked to paint
// already painted.
struct ShownBar {
    QWidget window;
    TextProgressBar *bar = new TextProgressBar(&window);

    explicit ShownBar(int width = 200)
    {
        bar->setGeometry(0, 0, width, 20);
        window.resize(width, 20);
        useTestColours(*bar);
        window.show();
    }
    bool settle()
    {
        if (!QTest::qWaitForWindowExposed(&window))
            return false;
        QCoreApplication::processEvents();
        return true;
    }
};

} // namespace

class TestProgressDialog : public QObject {
    Q_OBJECT

private slots:
    void startsWithTheStartTextAtZero()
    {
        ProgressDialog dialog;
        QCOMPARE(dialog.progressBar()->text(), QStringLiteral("读写进度 0%"));
        QVERIFY(dialog.progressBar()->textShown());
        QCOMPARE(dialog.low(), qint16(0));
        QCOMPARE(dialog.high(), qint16(100));
    }

    void textShowsThePercentage_data()
    {
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("expected");
        QTest::newRow("half of 0..40") << 0 << 40 << 20 << "Read percent:"
                                       << "Read percent:50%";
        QTest::newRow("a third is cut to 33") << 0 << 3 << 1 << "Read percent:"
                                              << "Read percent:33%";
        QTest::newRow("last write of four") << 0 << 4 << 4 << "写入百分比："
                                            << "写入百分比：100%";
        QTest::newRow("the low end is not taken from the position") << 10 << 20 << 15 << "Read percent:"
                                                                    << "Read percent:150%";
        QTest::newRow("an empty range shows the prefix alone") << 7 << 7 << 3 << "Read percent:"
                                                               << "Read percent:";
        QTest::newRow("an inverted range counts downwards") << 4 << 0 << 1 << "x"
                                                            << "x-25%";
        QTest::newRow("range ends are 16-bit values") << 0 << 65536 + 10 << 5 << "p"
                                                      << "p50%";
    }

    void textShowsThePercentage()
    {
        QFETCH(int, low);
        QFETCH(int, high);
        QFETCH(int, position);
        QFETCH(QString, prefix);
        ProgressDialog dialog;
        dialog.SetRange(low, high);
        dialog.SetPos(position);
        dialog.progressBar()->showText(false);
        dialog.SetText(prefix, position);
        QTEST(dialog.progressBar()->text(), "expected");
        QVERIFY(dialog.progressBar()->textShown());
    }

    void halfwayBarIsHalfFilledAndTextChangesColourAtTheSplit()
    {
        QWidget parent;
        parent.resize(600, 400);
        parent.show();
        ProgressDialog dialog(&parent);
        TextProgressBar &bar = *dialog.progressBar();
        useTestColours(bar);
        dialog.SetRange(0, 40);
        dialog.SetPos(20);
        dialog.SetText(QStringLiteral("Read percent:"), 20);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(bar.text(), QStringLiteral("Read percent:50%"));

        const QImage image = picture(bar);
        const int split = image.width() / 2;
        bool textOnBar = false;
        bool textOnRest = false;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                if (x < split) {
                    QVERIFY2(p != kBack.rgb() && !reddish(p), qPrintable(QString::number(x)));
                    textOnBar |= yellowish(p);
                } else {
                    QVERIFY2(p != kBar.rgb() && !yellowish(p), qPrintable(QString::number(x)));
                    textOnRest |= reddish(p);
                }
            }
        QVERIFY(textOnBar);
        QVERIFY(textOnRest);
    }

    void textIsCentredOnOneLine()
    {
        ShownBar shown(300);
        shown.bar->setRange(0, 100);
        shown.bar->setPos(30);
        shown.bar->setText(QStringLiteral("Wrote percent:30%"));
        QVERIFY(shown.settle());
        const QRect text = textBounds(picture(*shown.bar));
        QVERIFY(!text.isEmpty());
        QVERIFY2(qAbs(text.center().x() - 150) <= 4, qPrintable(QString::number(text.center().x())));
        QVERIFY2(qAbs(text.center().y() - 10) <= 3, qPrintable(QString::number(text.center().y())));
        QVERIFY(text.height() < 20);
    }

    void barWithoutTextShowsTheComputedPercentage_data()
    {
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("upper");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a quarter") << 0 << 40 << 10 << "25%";
        QTest::newRow("a third is cut") << 0 << 3 << 1 << "33%";
        QTest::newRow("the lower end counts") << -50 << 50 << 0 << "50%";
        QTest::newRow("at the start") << 0 << 10 << 0 << "0%";
        QTest::newRow("at the end") << 0 << 10 << 10 << "100%";
    }

    void barWithoutTextShowsTheComputedPercentage()
    {
        QFETCH(int, lower);
        QFETCH(int, upper);
        QFETCH(int, position);
        QFETCH(QString, expected);
        ShownBar computed;
        computed.bar->setRange(lower, upper);
        computed.bar->setPos(position);
        ShownBar written;
        written.bar->setRange(lower, upper);
        written.bar->setPos(position);
        written.bar->setText(expected);
        QVERIFY(computed.settle());
        QVERIFY(written.settle());
        QCOMPARE(computed.bar->shownText(), expected);
        QCOMPARE(picture(*computed.bar), picture(*written.bar));
    }

    void withTextOffOnlyTheFillsAreDrawn()
    {
        ShownBar shown;
        shown.bar->setRange(0, 4);
        shown.bar->setPos(1);
        shown.bar->setText(QStringLiteral("Read percent:25%"));
        shown.bar->showText(false);
        QVERIFY(shown.settle());
        const QImage image = picture(*shown.bar);
        QVERIFY(textBounds(image).isEmpty());
        QCOMPARE(image.pixel(49, 10), kBar.rgb());
        QCOMPARE(image.pixel(50, 10), kBack.rgb());
    }

    void barRepaintsOnlyWhenTheFilledWidthChanges()
    {
        ShownBar shown(200);
        shown.bar->setRange(0, 1000);
        QVERIFY(shown.settle());
        const int start = shown.bar->paintCount();

        QCOMPARE(shown.bar->setPos(500), 0);
        QCOMPARE(shown.bar->paintCount(), start + 1);
        QCOMPARE(shown.bar->setPos(500), 500);
        QCOMPARE(shown.bar->paintCount(), start + 1);
        QCOMPARE(shown.bar->setPos(503), 500); // 100.6 pixels: still 100 filled
        QCOMPARE(shown.bar->paintCount(), start + 1);
        shown.bar->setPos(505);
        QCOMPARE(shown.bar->paintCount(), start + 2);
    }

    // A transfer's stream of positions: costs one repaint per filled pixel,
    // not one per position.
    void benchmarkPositionStream()
    {
        ShownBar shown(245);
        shown.bar->setRange(0, 4000);
        shown.bar->setText(QStringLiteral("Read percent:"));
        QVERIFY(shown.settle());
        QBENCHMARK
        {
            for (int position = 0; position <= 4000; ++position)
                shown.bar->setPos(position);
            shown.bar->setPos(0);
        }
    }

    void resizingMakesTheNextPositionRedraw()
    {
        ShownBar shown(200);
        shown.bar->setRange(0, 100);
        shown.bar->setPos(50);
        shown.bar->resize(100, 20);
        QVERIFY(shown.settle());
        const int start = shown.bar->paintCount();
        shown.bar->setPos(50);
        QCOMPARE(shown.bar->paintCount(), start + 1);
        QCOMPARE(picture(*shown.bar).pixel(49, 1), kBar.rgb());
        QCOMPARE(picture(*shown.bar).pixel(50, 1), kBack.rgb());
    }

    void stepAndOffsetMoveFromThePosition()
    {
        TextProgressBar bar;
        QCOMPARE(bar.setStep(5), 1);
        QCOMPARE(bar.step(), 0);
        QCOMPARE(bar.offset(-2), 5);
        QCOMPARE(bar.pos(), 3);
        QCOMPARE(bar.stepSize(), 5);
    }

    void emptyOrInvertedRangeDrawsTheBackgroundOnly_data()
    {
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("upper");
        QTest::newRow("empty") << 5 << 5;
        QTest::newRow("inverted") << 10 << 0;
    }

    void emptyOrInvertedRangeDrawsTheBackgroundOnly()
    {
        QFETCH(int, lower);
        QFETCH(int, upper);
        ShownBar shown;
        shown.bar->setRange(lower, upper);
        shown.bar->setPos(3);
        shown.bar->setText(QStringLiteral("Read percent:"));
        QVERIFY(shown.settle());
        QImage expected(shown.bar->size(), QImage::Format_RGB32);
        expected.fill(kBack);
        QCOMPARE(picture(*shown.bar), expected);
    }

    void positionsFarOutsideTheRangeStayInsideTheBar()
    {
        ShownBar shown(200);
        shown.bar->setRange(-2, 2);
        shown.bar->setPos(std::numeric_limits<int>::max());
        QVERIFY(shown.settle());
        QCOMPARE(picture(*shown.bar).pixel(199, 1), kBar.rgb());
        shown.bar->setPos(std::numeric_limits<int>::min());
        QCOMPARE(picture(*shown.bar).pixel(0, 1), kBack.rgb());
    }

    void enterAndEscapeDoNotCloseTheWindow_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    }

    void enterAndEscapeDoNotCloseTheWindow()
    {
        QFETCH(int, key);
        ProgressDialog dialog;
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClick(&dialog, Qt::Key(key));
        QTest::keyClick(dialog.progressBar(), Qt::Key(key));
        QVERIFY(dialog.isVisible());
        QCOMPARE(finished.count(), 0);
    }

    void closeRequestsAreRefused()
    {
        ProgressDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.windowHandle()->close();
        QVERIFY(!dialog.close());
        QVERIFY(dialog.isVisible());
    }

    void windowIsCentredOnItsParentInItsOwnColour()
    {
        QWidget parent;
        parent.setGeometry(100, 80, 800, 600);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        ProgressDialog dialog(&parent);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.isWindow());
        QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
        const QPoint offset = dialog.geometry().center() - parent.geometry().center();
        QVERIFY2(offset.manhattanLength() <= 2,
                 qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));

        const QImage image = picture(dialog);
        QCOMPARE(QColor(image.pixel(3, 3)), QColor(135, 170, 220));
        QVERIFY(QColor(image.pixel(0, 0)) != QColor(135, 170, 220));
        QVERIFY(dialog.progressBar()->geometry().width() > dialog.width() / 2);
    }
};

QTEST_MAIN(TestProgressDialog)
#include "tst_progressdialog.moc"
