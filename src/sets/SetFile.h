#pragma once

#include "ParameterData.h"
#include "ParameterSet.h"

#include <QByteArray>

#include <optional>

// A parameter set as a file: JSON to keep and bring back, CSV for a
// spreadsheet.
//
// {"format":"quorvane-parameters","version":1,"address":3,"meterType":5,
//  "meterTypeName":"…","taken":"2026-12-09T06:30:00Z","note":"…",
//  "parameters":[{"k":0,"register":0,"caption":"…","captionEN":"…",
//                 "raw":-125,"text":"-12.5"},…]}
namespace SetFile {

inline constexpr char Format[] = "quorvane-parameters";
inline constexpr int Version = 1;

// Why a file was refused, and the field or value concerned (`detail`).
struct ImportError {
    enum class What {
        None,
        NotJson,             // detail: the parser's words and the offset
        NotASet,             // "format" is not quorvane-parameters
        VersionUnknown,      // detail: the version found
        FieldMissing,        // detail: the field, "parameters[i].raw" within a parameter
        FieldNotValid,       // detail: the field; a wrong type or a value out of range
        MeterTypeUnknown,    // detail: the meter type
        OutsideMenu,         // detail: k; the type's menu has no such parameter
        RawOutOfRange,       // detail: k and the value; not 16 bits
        DuplicateParameter,  // detail: k
        RegisterMismatch,    // detail: k; register is not 2k
    };
    What what = What::None;
    QString detail;
};

QByteArray toJson(const ParameterSet &set);
// Header row and one row a parameter; UTF-8 with a byte order mark, which
// spreadsheets need to read the Chinese captions.
QByteArray toCsv(const ParameterSet &set);

// The set a JSON file holds, checked whole against the meter types `menus`
// knows: nothing from a refused file. Captions and texts are taken from the
// menu of this catalogue, the register values from the file.
std::optional<ParameterSet> fromJson(const QByteArray &json, const ParameterMenuSource &menus,
                                     ImportError &error);

} // namespace SetFile
