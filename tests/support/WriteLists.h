#pragma once

#include "ParameterData.h"

#include <QList>
#include <QPair>

// A write list as the parameter dialog hands it over: (position, value) in
// the order they are to be written.
inline ParameterWriteList writeList(const QList<QPair<int, double>> &entries)
{
    ParameterWriteList list;
    list.count = int(entries.size());
    for (int i = 0; i < list.count && i < MaxParameters; ++i) {
        list.index[i] = entries[i].first;
        list.value[i] = entries[i].second;
    }
    return list;
}
