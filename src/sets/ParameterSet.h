#pragma once

#include "LineEvent.h"

#include <QDateTime>
#include <QList>
#include <QString>

// One parameter as a set keeps it: position k in the meter type's menu, its
// register (2k), both captions, the register value and the text shown for it.
struct SetParameter {
    int k = 0;
    int reg = 0;
    QString caption;   // Chinese
    QString captionEN; // English
    qint16 raw = 0;
    QString text;

    bool operator==(const SetParameter &) const = default;
};

// The parameters of one meter as read at one time: a restore point, or the
// source of a copy to other meters.
struct ParameterSet {
    qint64 id = 0; // in the set store; 0 until stored
    int address = 0;
    int meterType = 0;
    QString meterTypeName;
    QDateTime taken; // UTC
    QString note;
    QList<SetParameter> parameters; // ascending k

    // The set of a completed read: every parameter of the menu it was read
    // with, captions and texts from that menu.
    static ParameterSet fromReading(const ParameterReading &reading, int meterType, const QString &typeName,
                                    const QDateTime &taken, const QString &note = QString());

    const SetParameter *parameter(int k) const;
    bool operator==(const ParameterSet &) const = default;
};

// One difference between two sets of the same menu, or a parameter only one
// of them has.
struct ParameterDifference {
    int k = 0;
    std::optional<qint16> left;
    std::optional<qint16> right;
};

// The parameters whose values differ, by ascending k.
QList<ParameterDifference> differences(const ParameterSet &left, const ParameterSet &right);
