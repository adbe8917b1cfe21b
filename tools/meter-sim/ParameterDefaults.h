#pragma once

#include "SimulatedMeters.h"

#include <QString>

#include <optional>

// The parameter values a new meter of a type holds, from column
// ParaMenu_Default of table YbParaMenu of the system database.
namespace ParameterDefaults {

// Parameter k = ParaMenu_Default of the type's row with ParaMenu_Cmd = k
// (the later row wins where two share a position); positions without a row
// hold 0. nullopt, with the reason in `why`, when the database cannot be read
// or has no rows for the type.
std::optional<SimulatedMeters::Parameters> load(const QString &databasePath, int meterType, QString *why);

// Values to start from when there is no database: parameter k = 10 k.
SimulatedMeters::Parameters fallback();

} // namespace ParameterDefaults
