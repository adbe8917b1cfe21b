#include "PvSvPanel.h"

#include "AlarmTexts.h"
#include "CommandIds.h"
#include "Language.h"
#include "LineAlarms.h"
#include "LiveValueTable.h"
#include "PanelTexts.h"
#include "Prompts.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QToolTip>

#include <array>

namespace {

// The value text is sized to its box; this text is the widest it shows.
const QString kWidestValue = QStringLiteral("-8888.8");

const QColor kSilentBack(0xd4, 0xd4, 0xd4);
const QColor kSilentText(0x70, 0x70, 0x70);

// A high or low alarm, and a lost communication.
const QColor kLimitAlarmBack(0xe0, 0x20, 0x20);
const QColor kLimitAlarmText(0xff, 0xff, 0xff);
const QColor kCommAlarmBack(0xff, 0xa0, 0x20);
const QColor kCommAlarmText(0x00, 0x00, 0x00);

struct AlarmLook {
    AlarmKind kind;
    const BiText *word;
    const BiText *name;
};
// In the order they are told: a lost communication first, as it makes the
// limit alarms stand still.
constexpr std::array<AlarmLook, AlarmKindCount> kAlarmLooks{{
    {AlarmKind::Comm, &kAlarmWordComm, &kAlarmKindComm},
    {AlarmKind::High, &kAlarmWordHigh, &kAlarmKindHigh},
    {AlarmKind::Low, &kAlarmWordLow, &kAlarmKindLow},
}};

// An alarm is shown while it is active or waits for its acknowledgement.
bool shown(const AlarmState &alarm)
{
    return alarm.active || alarm.unacknowledged;
}

QLabel *makeLabel(QWidget *parent, const QString &name, Qt::Alignment alignment)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setAlignment(alignment);
    return label;
}

} // namespace

PvSvPanel::PvSvPanel(int meterAddress, const LiveValueTable &liveValues, const LineAlarms &lineAlarms,
                     const Language &lang, Prompts &shownPrompts, QWidget *parent)
    : QFrame(parent), values(liveValues), alarms(lineAlarms), language(lang), prompts(shownPrompts),
      meter(meterAddress)
{
    setObjectName(QStringLiteral("panel%1").arg(meterAddress));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setFocusPolicy(Qt::StrongFocus);
    // The panel is a window of its own on the view's coloured background.
    setAutoFillBackground(true);
    setWindowTitle(kPanelCaption.text(0).arg(meterAddress));
    setAccessibleName(windowTitle());

    captionStrip = makeLabel(this, QStringLiteral("caption"), Qt::AlignLeft | Qt::AlignVCenter);
    captionStrip->setText(windowTitle());
    captionStrip->setAutoFillBackground(true);
    captionStrip->setIndent(4);
    title = makeLabel(this, QStringLiteral("position"), Qt::AlignCenter);
    pvLabel = makeLabel(this, QStringLiteral("pvLabel"), Qt::AlignLeft | Qt::AlignVCenter);
    pvLabel->setText(kPanelPv.text(0));
    pvValue = makeLabel(this, QStringLiteral("pvValue"), Qt::AlignCenter);
    pvValue->setFrameStyle(QFrame::Box | QFrame::Plain);
    pvValue->setAutoFillBackground(true);
    // A screen reader reads a label by its name, and the name of a label
    // without one is its text: the value keeps no name of its own, so it is
    // read as shown, labelled by "PV".
    pvLabel->setBuddy(pvValue);
    // The set value is part of the panel but not shown by this program.
    svLabel = makeLabel(this, QStringLiteral("svLabel"), Qt::AlignLeft | Qt::AlignVCenter);
    svLabel->setText(kPanelSv.text(0));
    svValue = makeLabel(this, QStringLiteral("svValue"), Qt::AlignCenter);
    svLabel->hide();
    svValue->hide();
    const int wordWidth = buildAlarmDisplay();

    // The initial arrangement, in the panel's dialog units.
    title->setGeometry(QRect(QPoint(), dialogUnits(93, 8)));
    pvLabel->resize(dialogUnits(10, 8).expandedTo(pvLabel->sizeHint()).expandedTo(QSize(wordWidth, 0)));
    resize(dialogUnits(107, 70));
    showAlarms();
    refresh();
    connect(&language, &Language::changed, this, &PvSvPanel::showAlarms);
    connect(&alarms, &LineAlarms::changed, this, [this](int address) {
        if (address == meter)
            showAlarms();
    });
}

// The alarm word below "PV" and the blink; the width the widest word needs,
// which the column under "PV" gets.
int PvSvPanel::buildAlarmDisplay()
{
    alarmWord = makeLabel(this, QStringLiteral("alarmWord"), Qt::AlignLeft | Qt::AlignTop);
    QFont bold = font();
    bold.setBold(true);
    alarmWord->setFont(bold);
    alarmWord->hide();
    int wordWidth = 0;
    for (const AlarmLook &look : kAlarmLooks)
        for (int lang = 0; lang < 2; ++lang)
            wordWidth = std::max(wordWidth, QFontMetrics(bold).horizontalAdvance(look.word->text(lang)) + 2);
    blinkTimer = new QTimer(this);
    blinkTimer->setInterval(BlinkPeriodMs);
    connect(blinkTimer, &QTimer::timeout, this, [this] {
        blinkOn = !blinkOn;
        applyStyle();
    });
    return wordWidth;
}

QSize PvSvPanel::dialogUnits(int x, int y) const
{
    const QFontMetrics metrics(font());
    return QSize(x * metrics.averageCharWidth() / 4, y * metrics.height() / 8);
}

int PvSvPanel::address() const
{
    int address = 0;
    for (QChar c : windowTitle()) {
        if (!c.isDigit())
            break;
        address = address * 10 + c.digitValue();
        if (address > 9999)
            break;
    }
    return address;
}

void PvSvPanel::setPosition(const QString &position)
{
    title->setText(position);
    updateStrip();
    setAccessibleName(position.isEmpty() ? windowTitle() : windowTitle() + QLatin1Char(' ') + position);
}

void PvSvPanel::updateStrip()
{
    const bool withTitle = compact && !position().isEmpty();
    captionStrip->setText(withTitle ? windowTitle() + QStringLiteral("  ") + position() : windowTitle());
}

QString PvSvPanel::position() const
{
    return title->text();
}

QString PvSvPanel::valueTextOf(const LiveValueTable &table, int address)
{
    const MeterHealth &health = table.health(address);
    // Not asked yet on this line: nothing to tell either way.
    if (health.answers + health.missing + health.garbage + health.exceptions == 0)
        return QString();
    // Silent, or nothing but unusable answers since the line was opened: a
    // value from before is not a reading. The value itself tells nothing, a
    // meter may read -500.0.
    if (!table.answering(address) || health.lastGoodAnswer.isNull())
        return kPanelNoAnswer.text(0);
    return QString::asprintf("%.1f", table.value(address));
}

bool PvSvPanel::refresh()
{
    const QString text = valueTextOf(values, meter);
    const bool nowSilent = text == kPanelNoAnswer.text(0);
    if (text == shownText)
        return false;
    shownText = text;
    pvValue->setText(text);
    if (nowSilent != silent) {
        silent = nowSilent;
        applyStyle();
    }
    return true;
}

QString PvSvPanel::alarmText() const
{
    const MeterAlarms &state = alarms.alarms(meter);
    QStringList words;
    for (const AlarmLook &look : kAlarmLooks)
        if (shown(state[look.kind]))
            words << look.word->text(language.index());
    return words.join(QLatin1Char('\n'));
}

QString PvSvPanel::alarmDescription() const
{
    const int lang = language.index();
    const MeterAlarms &state = alarms.alarms(meter);
    QStringList told;
    for (const AlarmLook &look : kAlarmLooks) {
        const AlarmState &alarm = state[look.kind];
        if (!shown(alarm))
            continue;
        const BiText &how = !alarm.active          ? kAlarmStateClearedUnacknowledged
                            : alarm.unacknowledged ? kAlarmStateUnacknowledged
                                                   : kAlarmStateAcknowledged;
        told << how.text(lang).arg(look.name->text(lang));
    }
    return told.join(kAlarmStateSeparator.text(lang));
}

bool PvSvPanel::blinking() const
{
    return blinkTimer->isActive();
}

void PvSvPanel::showAlarms()
{
    const QString words = alarmText();
    alarmWord->setText(words);
    alarmWord->resize(pvLabel->width(), alarmWord->sizeHint().height());
    alarmWord->setVisible(!words.isEmpty());
    setAccessibleDescription(alarmDescription());
    if (!alarms.alarms(meter).anyUnacknowledged()) {
        blinkTimer->stop();
        blinkOn = true;
    } else if (!blinkTimer->isActive()) {
        blinkOn = true;
        blinkTimer->start();
    }
    applyStyle();
}

void PvSvPanel::applyStyle()
{
    QPalette strip = palette();
    strip.setColor(QPalette::Window, silent ? kSilentText : palette().color(QPalette::Highlight));
    strip.setColor(QPalette::WindowText, palette().color(QPalette::HighlightedText));
    captionStrip->setPalette(strip);

    QColor back = silent ? kSilentBack : palette().color(QPalette::Base);
    QColor text = silent ? kSilentText : palette().color(QPalette::Text);
    // A blinking alarm shows its colour every other period.
    const MeterAlarms &state = alarms.alarms(meter);
    if (blinkOn && shown(state[AlarmKind::Comm])) {
        back = kCommAlarmBack;
        text = kCommAlarmText;
    } else if (blinkOn && (shown(state[AlarmKind::High]) || shown(state[AlarmKind::Low]))) {
        back = kLimitAlarmBack;
        text = kLimitAlarmText;
    }
    QPalette value = palette();
    value.setColor(QPalette::Window, back);
    value.setColor(QPalette::WindowText, text);
    pvValue->setPalette(value);
    pvValue->setAccessibleDescription(silent ? kPanelNotAnswering.text(language.index()) : QString());
}

QString PvSvPanel::healthText() const
{
    const int lang = language.index();
    const MeterHealth &health = values.health(meter);
    const QString response = health.lastResponseMs < 0
                                 ? kPanelNever.text(lang)
                                 : kPanelResponseMs.text(lang).arg(health.lastResponseMs);
    const QString lastGood = health.lastGoodAnswer.isNull()
                                 ? kPanelNever.text(lang)
                                 : health.lastGoodAnswer.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return kPanelHealth.text(lang)
        .arg(meter)
        .arg(health.answers)
        .arg(health.missing)
        .arg(health.garbage)
        .arg(health.exceptions)
        .arg(response, lastGood);
}

bool PvSvPanel::event(QEvent *event)
{
    // The health is put together only when the tooltip is asked for, so a
    // refresh costs nothing for it.
    if (event->type() == QEvent::ToolTip) {
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), healthText(), this);
        return true;
    }
    return QFrame::event(event);
}

void PvSvPanel::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    const QRect frame = contentsRect();
    const int stripHeight = fontMetrics().height() + 4;
    captionStrip->setGeometry(frame.x(), frame.y(), frame.width(), stripHeight);

    // The client area lies below the caption strip; the title stays
    // centred at the top, the value stretches to the right and bottom edges.
    const QPoint client(frame.x(), frame.y() + stripHeight);
    const int width = frame.width();
    const int height = frame.height() - stripHeight;
    title->resize(std::min(dialogUnits(93, 8).width(), std::max(width - 10, 0)), title->height());
    // A panel too low for the title above a readable value (many meters on
    // a small screen) carries its title in the caption strip instead.
    compact = height - title->height() - 20 < 3 * fontMetrics().height() / 2;
    title->setVisible(!compact);
    updateStrip();
    const int top = compact ? 2 : title->height() + 10;
    const int bottom = compact ? 2 : 10;
    title->move(client + QPoint((width - title->width()) / 2, 5));
    pvLabel->move(client + QPoint(5, top));
    alarmWord->setGeometry(QRect(client + QPoint(5, top + pvLabel->height()),
                                 QSize(pvLabel->width(), alarmWord->sizeHint().height())));
    pvValue->setGeometry(
        QRect(client + QPoint(pvLabel->width() + 5, top),
              QSize(std::max(width - pvLabel->width() - 10, 0), std::max(height - top - bottom, 0))));
    fitValueFont();
    update();
}

void PvSvPanel::fitValueFont()
{
    // As large as the box allows, so the value reads from across the room.
    QFont big = font();
    big.setBold(true);
    big.setPixelSize(100);
    const int widest = QFontMetrics(big).horizontalAdvance(kWidestValue);
    const int byWidth = (pvValue->width() - 6) * 100 / std::max(widest, 1);
    const int byHeight = pvValue->height() * 7 / 10;
    big.setPixelSize(std::clamp(std::min(byWidth, byHeight), 6, 400));
    pvValue->setFont(big);
}

void PvSvPanel::buildMenu()
{
    menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("panelMenu"));
    QAction *readAll = menu->addAction(QString());
    readAll->setObjectName(QStringLiteral("readAllParameters"));
    connect(readAll, &QAction::triggered, this, [this] { emit command(CommandId::ReadAllParameters); });
    QAction *meterConfig = menu->addAction(QString());
    meterConfig->setObjectName(QStringLiteral("meterConfig"));
    connect(meterConfig, &QAction::triggered, this, [this] { emit command(CommandId::MeterConfig); });
    QAction *alarmLimits = menu->addAction(QString());
    alarmLimits->setObjectName(QStringLiteral("alarmLimits"));
    connect(alarmLimits, &QAction::triggered, this, [this] { emit command(CommandId::EditAlarmLimits); });
}

void PvSvPanel::contextMenuEvent(QContextMenuEvent *event)
{
    emit meterSelected(address());
    // Made on first use: of the 64 panels a line can show, few are ever
    // right-clicked, and a menu with its actions is a good part of a panel's
    // memory.
    if (!menu)
        buildMenu();
    const int lang = language.index();
    const QList<QAction *> actions = menu->actions();
    actions[0]->setText(kPanelReadAll.text(lang));
    actions[1]->setText(kPanelMeterConfig.text(lang));
    actions[2]->setText(kPanelAlarmLimits.text(lang));
    const QPoint at =
        event->reason() == QContextMenuEvent::Keyboard ? mapToGlobal(QPoint(5, 5)) : event->globalPos();
    menu->popup(at);
    event->accept();
}

void PvSvPanel::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        // The panel never closes by keyboard.
        event->accept();
        return;
    case Qt::Key_Plus:
        if (event->modifiers() & Qt::KeypadModifier) {
            event->accept();
            prompts.info(kPanelPlus.text(language.index()), windowTitle());
            return;
        }
        break;
    default:
        break;
    }
    QFrame::keyPressEvent(event);
}
