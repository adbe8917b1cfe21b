#include "CQuorvaneView.h"

#include "CommandIds.h"
#include "SettingsKeys.h"

#include <QColor>
#include <QPaintEvent>
#include <QPainter>

namespace {

QColor fromColorRef(quint32 value)
{
    return QColor(value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff);
}

} // namespace

CQuorvaneView::CQuorvaneView(MeterConfiguration &meters, QWidget *parent)
    : QWidget(parent), configuration(meters)
{
    chartMax = settings.ReadReal(Setting::ChartMaxValue);
    chartMin = settings.ReadReal(Setting::ChartMinValue);
    bkColor = static_cast<quint32>(settings.ReadInt(Setting::SysBkColor));
    setObjectName(QStringLiteral("view"));
    // The whole surface is painted here; nothing of the parent shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CQuorvaneView::~CQuorvaneView()
{
    settings.WriteInt(Setting::SysBkColor, static_cast<int>(bkColor));
}

bool CQuorvaneView::rewriteBackgroundColour()
{
    SettingsFile file;
    return file.WriteInt(Setting::SysBkColor, file.ReadInt(Setting::SysBkColor));
}

void CQuorvaneView::loadMeterConfiguration()
{
    configuration.load(settings);
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
