#pragma once

#include "PortDoctor.h"

#include <QString>
#include <QStringList>

// The technician's words for what the port check found, in a language
// (0 Chinese, 1 English): the window and the command-line tool say the
// same sentences.
namespace PortDoctorMessages {

// The findings of one device, one sentence each; `user` is the user the
// group advice names.
QStringList deviceLines(const PortExamination &device, const QString &user, int language);
// Whether ModemManager runs, and what to do about it.
QString modemManagerLine(const PortDoctorReport &report, int language);

} // namespace PortDoctorMessages
