#pragma once

#include "LineScan.h"
#include "MeterConfiguration.h"
#include "MeterRecord.h"
#include "MeterRegister.h"
#include "PortSettings.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What the scan window does with its inputs and its finds, without widgets:
// the plan from what was ticked, the finds as text and as a file, and the
// settings and register rows the finds stand for.
namespace ScanResults {

// What the operator chose: the address range, the baud rates, parity
// indexes (0 none, 1 odd, 2 even) and stop-bits indexes (0 one, 2 two) to
// try, and the time-out in ms (-1 automatic).
struct Choices {
    int firstAddress = 0;
    int lastAddress = Modbus::MeterCount - 1;
    QList<int> bauds;
    QList<int> parities;
    QList<int> stopBits;
    int dataBits = 8;
    int timeoutMs = -1;
};

// Every combination ticked, in the order of the lists (baud rate, then
// parity, then stop bits); the line's own setting first when it is one of
// them, as the meters are most likely there.
ScanPlan plan(const Choices &choices, const ScanSetting &own);

// A setting as people write it: "19200 8N1".
QString settingText(const ScanSetting &setting);

// The columns of the results and a find as a row of them.
QStringList header(int language);
QStringList row(const ScanFind &find, int language);
// The finds under their header, tab separated, one line each, for the clipboard.
QString tabText(const QList<ScanFind> &finds, int language);
// The same as a CSV file for spreadsheets: UTF-8 with a byte order mark.
QByteArray csv(const QList<ScanFind> &finds, int language);

// The finds of one setting: the setting of the find `preferred` when there
// is one, else that of the first find.
QList<ScanFind> findsOfOneSetting(const QList<ScanFind> &finds, int preferred);

// Section "CommConfig" for `setting`, the port itself kept.
PortSettings portFor(const ScanSetting &setting, PortSettings port);
// Section "MeterConfig" for the meters at `addresses` (not empty), the
// meter type, its channels and the poll period kept; one meter or a range
// as the meter wizard stores them.
MeterConfiguration::Values metersFor(const QList<int> &addresses, MeterConfiguration::Values values);

// Which found meters (`found` ascending) the register takes: those it does not hold yet whose
// address lies after its last meter, in ascending order, as the register
// keeps its rows in address order; and those missing below that address.
struct RegisterAdditions {
    QList<int> added;
    QList<int> outOfOrder;
};
RegisterAdditions registerAdditions(const QList<int> &found, const MeterRegister &registered);
// The row a found meter is stored as: its address and the meter type's
// name, every other field empty, as the meter information dialog stores a
// meter nobody typed anything for.
MeterRecord recordFor(int address, const QString &meterTypeName);

// The addresses, each once and ascending.
QList<int> addressesOf(const QList<ScanFind> &finds);

} // namespace ScanResults
