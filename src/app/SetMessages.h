#pragma once

#include "ParameterJob.h"
#include "SetFile.h"

#include <QString>

// The operator's words for what parameter sets report: why a file was
// refused, how a job ended.
namespace SetMessages {

// `file` names the file as the user knows it.
QString importText(const SetFile::ImportError &error, const QString &file, int language);
// `set` gives the parameter's caption where the outcome names one.
QString outcomeText(const JobOutcome &outcome, const ParameterSet &set, int language);

} // namespace SetMessages
