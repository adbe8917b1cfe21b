#include "AlarmStatusPane.h"

#include "AlarmTexts.h"
#include "Language.h"
#include "LineAlarms.h"

AlarmStatusPane::AlarmStatusPane(const LineAlarms &lineAlarms, const Language &lang, QWidget *parent)
    : QLabel(parent), alarms(lineAlarms), language(lang)
{
    setObjectName(QStringLiteral("alarmPane"));
    refresh();
    connect(&alarms, &LineAlarms::changed, this, &AlarmStatusPane::refresh);
    connect(&language, &Language::changed, this, &AlarmStatusPane::refresh);
}

QString AlarmStatusPane::countText(int active, int unacknowledged, int language)
{
    if (active == 0 && unacknowledged == 0)
        return kAlarmStatusNone.text(language);
    return kAlarmStatusCount.text(language).arg(active).arg(unacknowledged);
}

void AlarmStatusPane::refresh()
{
    setText(countText(alarms.activeCount(), alarms.unacknowledgedCount(), language.index()));
}
