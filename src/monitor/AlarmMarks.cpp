#include "AlarmMarks.h"

#include <QMap>

#include <algorithm>

QList<AlarmSpan> alarmSpansOf(const QList<AlarmEvent> &events, qint64 fromMs, qint64 toMs)
{
    QList<AlarmSpan> spans;
    // By meter and kind, when the alarm standing now was raised.
    QMap<std::pair<int, int>, qint64> open;
    for (const AlarmEvent &e : events) {
        const std::pair<int, int> key{e.address, int(e.kind)};
        if (e.what == AlarmEvent::What::Raised) {
            if (!open.contains(key))
                open.insert(key, e.ms);
        } else if (e.what == AlarmEvent::What::Cleared) {
            spans.append({e.address, e.kind, open.value(key, fromMs), e.ms});
            open.remove(key);
        }
    }
    for (auto it = open.cbegin(); it != open.cend(); ++it)
        spans.append({it.key().first, AlarmKind(it.key().second), it.value(), toMs});
    std::stable_sort(spans.begin(), spans.end(),
                     [](const AlarmSpan &a, const AlarmSpan &b) { return a.fromMs < b.fromMs; });
    return spans;
}
