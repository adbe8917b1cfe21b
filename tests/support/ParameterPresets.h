#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Parameters the meter simulator starts with in the parameter set tests:
// meter m's parameter k holds 100 m + k, for the first `count` parameters.
inline QStringList presetMeters(const QList<int> &meters, int count)
{
    QStringList arguments;
    for (int m : meters)
        for (int k = 0; k < count; ++k)
            arguments << "--param" << QStringLiteral("%1:%2=%3").arg(m).arg(k).arg(100 * m + k);
    return arguments;
}

inline QList<qint16> presetOf(int meter, int count)
{
    QList<qint16> values;
    for (int k = 0; k < count; ++k)
        values << qint16(100 * meter + k);
    return values;
}

// The register values of a parameter set, by ascending k.
template <typename Set> QList<qint16> rawOf(const Set &set)
{
    QList<qint16> values;
    for (const auto &p : set.parameters)
        values << p.raw;
    return values;
}
