#include "CEditGrid.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr long kValue = 2;

// A grid of `rows` parameters on screen, row 2 holding 12.5 and row r
// otherwise r × 10, with the value cell of row 2 current.
struct ShownGrid {
    CEditGrid grid;

    explicit ShownGrid(long rows = 6, int height = 300)
    {
        grid.SetRows(rows + 1);
        for (long row = 1; row <= rows; ++row) {
            set(row, 0, QString::number(row));
            set(row, 1, QStringLiteral("Parameter %1").arg(row));
            set(row, kValue, row == 2 ? QStringLiteral("12.5") : QString::number(row * 10));
        }
        grid.SetColWidth(0, 50 * CMSFlexGrid::TwipsPerPixel);
        grid.SetColWidth(1, 200 * CMSFlexGrid::TwipsPerPixel);
        grid.SetColWidth(2, 100 * CMSFlexGrid::TwipsPerPixel);
        select(2);
        grid.resize(380, height);
        grid.show();
    }
    bool ready() { return QTest::qWaitForWindowActive(&grid); }
    void set(long row, long col, const QString &text)
    {
        grid.SetCol(col);
        grid.SetRow(row);
        grid.SetText(text);
    }
    void select(long row)
    {
        grid.SetCol(kValue);
        grid.SetRow(row);
    }
    // Read straight from the table, so reading does not move the current cell.
    QString cell(long row, long col = kValue) const { return grid.item(int(row) - 1, int(col))->text(); }
    QRect rect(long row, long col = kValue) const { return grid.visualRect(grid.cellIndex(row, col)); }
    void click(long row, long col = kValue)
    {
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, rect(row, col).center());
    }
    QLineEdit *editor() const { return grid.findChild<QLineEdit *>(QStringLiteral("cellEditor")); }
};

} // namespace

class TestEditGrid : public QObject {
    Q_OBJECT

private slots:
    void typedKeyStartsAnEdit_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("selected");
        QTest::newRow("a digit replaces the text, caret after it") << int(Qt::Key_7) << "7"
                                                                   << "";
        QTest::newRow("a minus sign likewise") << int(Qt::Key_Minus) << "-"
                                               << "";
        QTest::newRow("space starts empty") << int(Qt::Key_Space) << ""
                                            << "";
        QTest::newRow("Backspace starts empty") << int(Qt::Key_Backspace) << ""
                                                << "";
        QTest::newRow("Enter takes the cell's text, all selected") << int(Qt::Key_Return) << "12.5"
                                                                   << "12.5";
    }

    void typedKeyStartsAnEdit()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        ShownGrid shown;
        QVERIFY(shown.ready());
        QLineEdit *editor = shown.editor();
        QVERIFY(editor && !editor->isVisible());
        QTest::keyClick(&shown.grid, Qt::Key(key));
        QVERIFY(editor->isVisible());
        QVERIFY(editor->hasFocus());
        QCOMPARE(editor->text(), text);
        QTEST(editor->selectedText(), "selected");
        QCOMPARE(editor->cursorPosition(), text.size());
        QCOMPARE(shown.cell(2), QStringLiteral("12.5"));
        QCOMPARE(editor->accessibleName(), shown.grid.horizontalHeaderItem(kValue)->text());
    }

    void typingSevenThenEnterStoresSeven()
    {
        ShownGrid shown;
        QVERIFY(shown.ready());
        QTest::keyClick(&shown.grid, Qt::Key_7);
        QTest::keyClick(shown.editor(), Qt::Key_Return);
        QCOMPARE(shown.cell(2), QStringLiteral("7"));
        QVERIFY(!shown.editor()->isVisible());
        QVERIFY(shown.editor()->text().isEmpty());
        QVERIFY(shown.grid.hasFocus());
    }

    void doubleClickOpensTheEditorWithTheCellsTextSelected()
    {
        ShownGrid shown;
        QVERIFY(shown.ready());
        QTest::mouseDClick(shown.grid.viewport(), Qt::LeftButton, {}, shown.rect(4).center());
        QCOMPARE(shown.grid.GetRow(), 4L);
        QVERIFY(shown.editor()->isVisible());
        QCOMPARE(shown.editor()->text(), QStringLiteral("40"));
        QCOMPARE(shown.editor()->selectedText(), QStringLiteral("40"));
    }

    void escapeOrTabInTheEditorKeepsTheCell_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("Tab") << int(Qt::Key_Tab);
    }

    void escapeOrTabInTheEditorKeepsTheCell()
    {
        QFETCH(int, key);
        ShownGrid shown;
        QVERIFY(shown.ready());
        QTest::keyClick(&shown.grid, Qt::Key_9);
        QTest::keyClick(shown.editor(), Qt::Key(key));
        QCOMPARE(shown.cell(2), QStringLiteral("12.5"));
        QVERIFY(!shown.editor()->isVisible());
        QVERIFY(shown.grid.hasFocus());
        if (key == Qt::Key_Escape)
            QVERIFY(shown.editor()->text().isEmpty());
    }

    void clickingAnotherCellStoresIntoTheEditedCell()
    {
        ShownGrid shown;
        QVERIFY(shown.ready());
        QTest::keyClick(&shown.grid, Qt::Key_4);
        QTest::keyClicks(shown.editor(), QStringLiteral("2"));
        shown.click(5);
        QCOMPARE(shown.cell(2), QStringLiteral("42"));
        QCOMPARE(shown.cell(5), QStringLiteral("50"));
        QCOMPARE(shown.grid.GetRow(), 5L);
        QVERIFY(!shown.editor()->isVisible());
    }

    void readingACellMovesTheCurrentCellAndEndsTheEdit()
    {
        ShownGrid shown;
        QVERIFY(shown.ready());
        QSignalSpy leaves(&shown.grid, &CMSFlexGrid::LeaveCell);
        QTest::keyClick(&shown.grid, Qt::Key_8);
        shown.grid.SetCol(0);
        shown.grid.SetRow(4);
        QCOMPARE(shown.grid.GetText(), QStringLiteral("4"));
        QCOMPARE(leaves.count(), 2);
        QCOMPARE(shown.cell(2), QStringLiteral("8"));
        QVERIFY(!shown.editor()->isVisible());
    }

    void scrollingStoresAndHidesTheEditor_data()
    {
        QTest::addColumn<Qt::Orientation>("direction");
        QTest::newRow("vertically") << Qt::Vertical;
        QTest::newRow("horizontally") << Qt::Horizontal;
    }

    void scrollingStoresAndHidesTheEditor()
    {
        QFETCH(Qt::Orientation, direction);
        ShownGrid shown(40);
        shown.grid.SetColWidth(1, 600 * CMSFlexGrid::TwipsPerPixel);
        QVERIFY(shown.ready());
        QTest::keyClick(&shown.grid, Qt::Key_5);
        QScrollBar *bar =
            direction == Qt::Vertical ? shown.grid.verticalScrollBar() : shown.grid.horizontalScrollBar();
        QVERIFY(bar->maximum() > 0);
        // Starting the edit may have scrolled the cell into view already.
        bar->setValue(bar->value() == bar->maximum() ? bar->minimum() : bar->maximum());
        QCOMPARE(shown.cell(2), QStringLiteral("5"));
        QVERIFY(!shown.editor()->isVisible());
    }

    void editorCoversItsCellExactly_data()
    {
        QTest::addColumn<long>("row");
        QTest::newRow("first row") << 1L;
        QTest::newRow("a middle row") << 3L;
        QTest::newRow("a row below the view is scrolled into it") << 30L;
    }

    void editorCoversItsCellExactly()
    {
        QFETCH(long, row);
        ShownGrid shown(30, 200);
        QVERIFY(shown.ready());
        const qreal ratio = qEnvironmentVariable("QT_SCALE_FACTOR") == QLatin1String("2") ? 2.0 : 1.0;
        QCOMPARE(shown.grid.devicePixelRatioF(), ratio);
        shown.grid.SetBackColor(Qt::red);
        QPalette green = shown.editor()->palette();
        green.setColor(QPalette::Base, Qt::green);
        shown.editor()->setPalette(green);
        shown.select(row);
        QTest::keyClick(&shown.grid, Qt::Key_Space);

        const QRect cell = shown.rect(row);
        QCOMPARE(shown.editor()->geometry(), cell);
        QVERIFY(shown.grid.viewport()->rect().contains(cell));
        const QPoint corner = shown.editor()->mapTo(&shown.grid, QPoint(0, 0));
        QCOMPARE(shown.grid.GetCellLeft(), corner.x() * CMSFlexGrid::TwipsPerPixel);
        QCOMPARE(shown.grid.GetCellTop(), corner.y() * CMSFlexGrid::TwipsPerPixel);
        QCOMPARE(shown.grid.GetCellWidth(), cell.width() * CMSFlexGrid::TwipsPerPixel);
        QCOMPARE(shown.grid.GetCellHeight(), cell.height() * CMSFlexGrid::TwipsPerPixel);

        // Device pixels: the editor's colour fills the cell and no further
        // (without the focus, so that no caret is drawn).
        shown.editor()->clearFocus();
        const QImage image = shown.grid.viewport()->grab().toImage();
        const QRect device(cell.topLeft() * ratio, cell.size() * ratio);
        for (int y = device.top() - 1; y <= device.bottom() + 1; ++y)
            for (int x = device.left() - 1; x <= device.right() + 1; ++x) {
                if (!image.rect().contains(x, y))
                    continue;
                const bool inside = device.contains(x, y);
                const bool isGreen = QColor(image.pixel(x, y)) == QColor(Qt::green);
                QVERIFY2(inside == isGreen, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            }
    }

    void fixedRowAndColumnsAreOutOfTheOperatorsReach()
    {
        ShownGrid shown;
        QVERIFY(shown.ready());
        shown.set(0, 1, QStringLiteral("Parameter"));
        QCOMPARE(shown.grid.horizontalHeaderItem(1)->text(), QStringLiteral("Parameter"));
        QCOMPARE(shown.grid.rowCount(), int(shown.grid.GetRows()) - 1);
        QVERIFY(shown.grid.verticalHeader()->isHidden());
        QCOMPARE(shown.grid.editTriggers(), QAbstractItemView::NoEditTriggers);

        shown.select(2);
        shown.click(4, 1);
        QTest::keyClick(&shown.grid, Qt::Key_Left);
        QTest::keyClick(&shown.grid, Qt::Key_Home);
        QCOMPARE(shown.grid.GetRow(), 2L);
        QCOMPARE(shown.grid.GetCol(), kValue);
        shown.grid.SetCol(1);
        QTest::keyClick(&shown.grid, Qt::Key_7);
        QVERIFY(!shown.editor()->isVisible());
        QCOMPARE(shown.cell(2, 1), QStringLiteral("Parameter 2"));
    }
};

QTEST_MAIN(TestEditGrid)
#include "tst_editgrid.moc"
