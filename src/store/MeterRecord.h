#pragma once

#include "StoreTexts.h"

#include <QString>

#include <array>

// One meter of the register (a row of YbGL): thirteen texts, stored and shown
// exactly as entered.
struct MeterRecord {
    QString address;         // Yb_Id: the meter address 0..63 as decimal text
    QString installPosition; // Yb_Azwz: also the caption of the meter's value panel
    QString sensorType;      // Yb_Xh
    QString meterType;       // Yb_Type: the name of a METERTYPE row
    QString precision;       // Yb_Jddj
    QString measuringRange;  // Yb_Clfw
    QString name;            // Yb_Name
    QString serialNumber;    // Yb_Ccbh
    QString manufactureDate; // Yb_Ccny
    QString manufacturer;    // Yb_Zzc
    QString owner;           // Yb_Ssdw
    QString appearance;      // Yb_Wg
    QString remark;          // Yb_Bz

    bool operator==(const MeterRecord &) const = default;
};

// A column of YbGL: its name, its label and the field of the record it holds.
struct MeterColumn {
    const char *name;
    BiText label;
    QString MeterRecord::*field;
};

// The columns in the order the register list shows them, which is also their
// order in the table. The address comes first.
inline constexpr std::array<MeterColumn, 13> kMeterColumns{{
    {"Yb_Id", kMeterAddressLabel, &MeterRecord::address},
    {"Yb_Azwz", kInstallPositionLabel, &MeterRecord::installPosition},
    {"Yb_Xh", kSensorTypeLabel, &MeterRecord::sensorType},
    {"Yb_Type", kMeterTypeLabel, &MeterRecord::meterType},
    {"Yb_Jddj", kPrecisionLabel, &MeterRecord::precision},
    {"Yb_Clfw", kMeasuringRangeLabel, &MeterRecord::measuringRange},
    {"Yb_Name", kMeterNameLabel, &MeterRecord::name},
    {"Yb_Ccbh", kSerialNumberLabel, &MeterRecord::serialNumber},
    {"Yb_Ccny", kManufactureDateLabel, &MeterRecord::manufactureDate},
    {"Yb_Zzc", kManufacturerLabel, &MeterRecord::manufacturer},
    {"Yb_Ssdw", kOwnerLabel, &MeterRecord::owner},
    {"Yb_Wg", kAppearanceLabel, &MeterRecord::appearance},
    {"Yb_Bz", kRemarkLabel, &MeterRecord::remark},
}};
