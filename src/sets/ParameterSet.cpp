#include "ParameterSet.h"

#include "ParameterTransfer.h"

#include <map>

ParameterSet ParameterSet::fromReading(const ParameterReading &reading, int meterType, const QString &typeName,
                                       const QDateTime &taken, const QString &note)
{
    ParameterSet set;
    set.address = reading.address;
    set.meterType = meterType;
    set.meterTypeName = typeName;
    set.taken = taken.toUTC();
    set.note = note;
    for (int k = 0; k < reading.menu.count && k < MaxParameters; ++k) {
        const qint16 raw = reading.values[std::size_t(k)];
        set.parameters.append({k, 2 * k, reading.menu.captionC[std::size_t(k)],
                               reading.menu.captionE[std::size_t(k)], raw,
                               ParameterTransfer::formatValue(raw, reading.menu.oneDecimal[std::size_t(k)])});
    }
    return set;
}

const SetParameter *ParameterSet::parameter(int k) const
{
    for (const SetParameter &p : parameters)
        if (p.k == k)
            return &p;
    return nullptr;
}

QList<ParameterDifference> differences(const ParameterSet &left, const ParameterSet &right)
{
    std::map<int, ParameterDifference> byK;
    for (const SetParameter &p : left.parameters)
        byK[p.k].left = p.raw;
    for (const SetParameter &p : right.parameters)
        byK[p.k].right = p.raw;
    QList<ParameterDifference> found;
    for (auto &[k, difference] : byK) {
        if (difference.left == difference.right)
            continue;
        difference.k = k;
        found.append(difference);
    }
    return found;
}
