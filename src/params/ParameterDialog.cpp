#include "ParameterDialog.h"

#include "CEditGrid.h"
#include "Language.h"
#include "ParameterTransfer.h"
#include "ParamsTexts.h"
#include "Prompts.h"
#include "TextConversions.h"
#include "Texts.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

const QColor kDialogColour(135, 170, 220);
const QColor kCellColour(240, 240, 200);
const QColor kOutsideCellsColour(155, 155, 155);

constexpr long kNumberCol = 0;
constexpr long kNameCol = 1;
constexpr long kValueCol = 2;

// Shares of the grid's width taken by the three columns.
constexpr double kNumberShare = 0.12;
constexpr double kNameShare = 0.65;
constexpr double kValueShare = 0.2;

// Rows the window shows without scrolling when it first opens.
constexpr int kRowsInView = 13;

// A value as the C library's atof reads it. Blanks around it are dropped
// first, also those atof would not skip (a full-width space).
double cellValue(const QString &text)
{
    return atofLike(text.trimmed());
}

// Why a value cell cannot be written, or nothing when it can. Writable
// means: the whole text, blanks aside, is a number as atof reads one (so
// atof's reading is the number the operator typed, not the 0 of a text it
// cannot read or the 12 of "12abc"), and it fits the meter's signed 16-bit
// register once scaled by the parameter's decimal places.
const BiText *valueProblem(const QString &text, bool oneDecimal)
{
    static const QRegularExpression number(
        QStringLiteral(R"(^[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?$)"));
    const QString typed = text.trimmed();
    if (!number.match(typed).hasMatch())
        return &kValueNotNumber;
    if (!ParameterTransfer::scaleForWrite(atofLike(typed), oneDecimal))
        return &kValueOutOfRange;
    return nullptr;
}

} // namespace

ParameterDialog::ParameterDialog(const ParameterDisplay &display, const Language &language, Prompts &prompts,
                                 Writer startWrite, QWidget *parent, Busy writeRunning)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), languageSource(language),
      prompts(prompts), startWrite(std::move(startWrite)), writeRunning(std::move(writeRunning)),
      language(language.index())
{
    setObjectName(QStringLiteral("ParameterDialog"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, kDialogColour);
    setPalette(colours);
    setAutoFillBackground(true);

    buildControls();
    buildLayout();
    setTexts();
    loadGrid(display);
    writeChangedRadio->setChecked(true);
    fitInitialSize();
}

double ParameterDialog::baseline(int position) const
{
    return position >= 0 && position < rowCount ? baselineValues[position] : 0.0;
}

void ParameterDialog::buildControls()
{
    table = new CEditGrid(this);
    table->setObjectName(QStringLiteral("grid"));
    QFont bold = table->font();
    bold.setBold(true);
    table->setFont(bold);
    writeGroup = new QGroupBox(this);
    writeGroup->setObjectName(QStringLiteral("writeGroup"));
    writeAllRadio = new QRadioButton(writeGroup);
    writeAllRadio->setObjectName(QStringLiteral("writeAll"));
    writeChangedRadio = new QRadioButton(writeGroup);
    writeChangedRadio->setObjectName(QStringLiteral("writeChanged"));
    writeButton = new QPushButton(writeGroup);
    writeButton->setObjectName(QStringLiteral("writeButton"));
    writeButton->setDefault(true);
    cancelButton = new QPushButton(this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));

    connect(writeButton, &QPushButton::clicked, this, &ParameterDialog::write);
    connect(cancelButton, &QPushButton::clicked, this, &ParameterDialog::reject);
    table->installEventFilter(this);
    table->cellEditor()->installEventFilter(this);
    table->viewport()->installEventFilter(this);
    // Tab from the grid goes on to the write button.
    setTabOrder(table, writeButton);
    setTabOrder(writeButton, writeAllRadio);
    setTabOrder(writeAllRadio, writeChangedRadio);
    setTabOrder(writeChangedRadio, cancelButton);
}

void ParameterDialog::buildLayout()
{
    auto *groupLayout = new QVBoxLayout(writeGroup);
    groupLayout->addWidget(writeAllRadio);
    groupLayout->addWidget(writeChangedRadio);
    groupLayout->addWidget(writeButton, 0, Qt::AlignHCenter);

    auto *side = new QVBoxLayout;
    side->addWidget(writeGroup);
    side->addStretch(1);
    side->addWidget(cancelButton, 0, Qt::AlignHCenter);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(table, 1);
    layout->addLayout(side);
}

void ParameterDialog::setTexts()
{
    setWindowTitle(kAllParameters.text(language));
    table->setAccessibleName(kAllParameters.text(language));
    writeGroup->setTitle(kWriteInMeter.text(language));
    writeAllRadio->setText(kAllParameters.text(language));
    writeChangedRadio->setText(kOnlyChanged.text(language));
    writeButton->setText(kWriteIn.text(language));
    cancelButton->setText(kBackToMain.text(language));
}

// Fills the grid as the control is filled, cell by cell through the
// current cell, so the value cell of the last row is current at the end.
void ParameterDialog::loadGrid(const ParameterDisplay &display)
{
    rowCount = std::clamp(display.parameterCount, 0, MaxParameters);
    oneDecimal = display.oneDecimal;
    table->SetRows(rowCount + 1);
    table->SetBackColor(kCellColour);
    table->SetBackColorBkg(kOutsideCellsColour);
    setColumnWidths();

    setCell(0, kNumberCol, kHeaderNumber.text(language));
    setCell(0, kNameCol, kHeaderParameter.text(language));
    setCell(0, kValueCol, kHeaderValue.text(language));
    for (int row = 1; row <= rowCount; ++row) {
        setCell(row, kNumberCol, QString::number(row));
        setCell(row, kNameCol, display.names[row - 1]);
        setCell(row, kValueCol, display.values[row - 1]);
        baselineValues[row - 1] = cellValue(cell(row, kValueCol));
    }
}

void ParameterDialog::setColumnWidths()
{
    const double width = table->viewport()->width();
    const auto twips = [width](double share) { return long(width * CEditGrid::TwipsPerPixel * share); };
    table->SetColWidth(kNumberCol, twips(kNumberShare));
    table->SetColWidth(kNameCol, twips(kNameShare));
    table->SetColWidth(kValueCol, twips(kValueShare));
}

// Large enough for a screenful of rows and for the longest captions of a
// parameter menu, about ten Chinese or twenty Latin characters.
void ParameterDialog::fitInitialSize()
{
    const QFontMetrics metrics(table->font());
    const int caption = std::max(metrics.horizontalAdvance(QString(10, QChar(0x53C2))),
                                 metrics.horizontalAdvance(QString(20, QLatin1Char('M'))));
    const int textMargins = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1);
    const int frame = 2 * table->frameWidth();
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, table);
    const QSize gridSize(int(std::ceil((caption + textMargins + 1) / kNameShare)) + frame + scrollBar,
                         table->horizontalHeader()->sizeHint().height() +
                             kRowsInView * table->verticalHeader()->defaultSectionSize() + frame);

    const QBoxLayout *box = static_cast<QBoxLayout *>(layout());
    const QSize side = box->itemAt(1)->sizeHint();
    const QMargins margins = box->contentsMargins();
    resize(gridSize.width() + box->spacing() + side.width() + margins.left() + margins.right(),
           std::max(gridSize.height(), side.height()) + margins.top() + margins.bottom());
}

QString ParameterDialog::cell(long row, long col)
{
    table->SetCol(col);
    table->SetRow(row);
    return table->GetText();
}

void ParameterDialog::setCell(long row, long col, const QString &text)
{
    table->SetCol(col);
    table->SetRow(row);
    table->SetText(text);
}

void ParameterDialog::write()
{
    language = languageSource.index();
    // The line runs one write at a time: a Yes now could start nothing.
    if (writeRunning && writeRunning()) {
        prompts.warning(kWriteStillRunning.text(language), kCaptionNotWritten.text(language));
        return;
    }
    // An edit still open belongs to what the operator wants written.
    table->commit();
    if (!valuesWritable())
        return;
    if (writeChangedRadio->isChecked())
        writeChanged();
    else
        writeAll();
}

// Checks every value cell before anything is asked or sent: a value the
// meter cannot take refuses the whole write, names the row and opens that
// cell for correction.
bool ParameterDialog::valuesWritable()
{
    for (int row = 1; row <= rowCount; ++row) {
        const QString typed = cell(row, kValueCol);
        const BiText *problem = valueProblem(typed, oneDecimal[row - 1]);
        if (!problem)
            continue;
        prompts.error(problem->text(language).arg(row).arg(cell(row, kNameCol), typed),
                      kCaptionError.text(language));
        table->SetCol(kValueCol);
        table->SetRow(row);
        table->startEdit(QChar(CEditGrid::Enter));
        return false;
    }
    return true;
}

void ParameterDialog::writeChanged()
{
    if (!prompts.question(kAskWriteChanged.text(language), kCaptionConfirmWrite.text(language)))
        return;
    if (!collectChangedRows()) {
        prompts.warning(kNotChanged.text(language), kCaptionNotWritten.text(language));
        return;
    }
    if (!startWrite || !startWrite(list))
        return;
    // The written values are the new reference once the write has started,
    // whatever the meter then makes of them.
    for (int k = 0; k < list.count; ++k)
        baselineValues[list.index[k]] = list.value[k];
}

void ParameterDialog::writeAll()
{
    if (!prompts.question(kAskWriteAll.text(language), kCaptionConfirmWrite.text(language)))
        return;
    collectAllRows();
    if (startWrite)
        startWrite(list);
}

void ParameterDialog::collectAllRows()
{
    for (int row = 1; row <= rowCount; ++row) {
        list.index[row - 1] = qint16(int(cellValue(cell(row, kNumberCol))) - 1);
        list.value[row - 1] = cellValue(cell(row, kValueCol));
    }
    list.count = rowCount;
}

// Leaves the changed rows at the front of the list, as (position, value).
// With nothing changed the list keeps all rows but nothing is to be written.
bool ParameterDialog::collectChangedRows()
{
    collectAllRows();
    int changed = 0;
    for (int position = 0; position < rowCount; ++position) {
        if (baselineValues[position] == list.value[position])
            continue;
        list.index[changed] = position;
        list.value[changed] = cellValue(cell(position + 1, kValueCol));
        list.count = ++changed;
    }
    return changed > 0;
}

bool ParameterDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (watched == table)
            return gridKey(key);
        if (watched == table->cellEditor())
            return editorKey(key);
    } else if (event->type() == QEvent::Resize && watched == table->viewport()) {
        setColumnWidths();
    }
    return QDialog::eventFilter(watched, event);
}

// Keys the window takes from the grid before the grid sees them; Escape
// must not close the window and Enter must not press the write button.
bool ParameterDialog::gridKey(int key)
{
    switch (key) {
    case Qt::Key_Escape:
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        table->startEdit(QChar(CEditGrid::Enter));
        return true;
    case Qt::Key_Tab:
        table->commitAndLeave();
        return true;
    default:
        return false;
    }
}

bool ParameterDialog::editorKey(int key)
{
    switch (key) {
    case Qt::Key_Escape:
        table->cancelEdit();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
        table->storeEdit();
        return true;
    default:
        return false;
    }
}
