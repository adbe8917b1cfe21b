#include "CQuorvaneView.h"

#include "CommandIds.h"

#include <QColor>
#include <QPaintEvent>
#include <QPainter>

namespace {

const QString kChartSection = QStringLiteral("ChartConfig");
const QString kSysSection = QStringLiteral("SysConfig");
const QString kBkColorKey = QStringLiteral("BkColor");

QColor fromColorRef(quint32 value)
{
    return QColor(value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff);
}

} // namespace

CQuorvaneView::CQuorvaneView(QWidget *parent) : QWidget(parent)
{
    chartMax = settings.ReadReal(kChartSection, QStringLiteral("MaxValue"));
    chartMin = settings.ReadReal(kChartSection, QStringLiteral("MinValue"));
    bkColor = static_cast<quint32>(settings.ReadInt(kSysSection, kBkColorKey));
    setObjectName(QStringLiteral("view"));
    // The whole surface is painted here; nothing of the parent shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CQuorvaneView::~CQuorvaneView()
{
    settings.WriteInt(kSysSection, kBkColorKey, static_cast<int>(bkColor));
}

void CQuorvaneView::loadMeterConfiguration()
{
    configuration = MeterConfiguration::read(settings);
}

bool CQuorvaneView::handles(int commandId)
{
    using namespace CommandId;
    switch (commandId) {
    case MeterConfig:
    case SetBkColor:
    case RealtimeChart:
    case MeterInterface:
    case MeterManager:
    case ChartRange:
        return true;
    default:
        return false;
    }
}

void CQuorvaneView::runCommand(int commandId)
{
    // The working surfaces these commands switch to are not part of the view
    // yet; until they are, the commands leave the view as it is.
    Q_UNUSED(commandId)
}

void CQuorvaneView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), fromColorRef(bkColor));
}
