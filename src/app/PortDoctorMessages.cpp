#include "PortDoctorMessages.h"

#include "PortDoctorTexts.h"

namespace PortDoctorMessages {

namespace {

QString heldLine(const PortHolder &holder, int language)
{
    if (holder.ownProcess)
        return kDoctorHeldHere.text(language).arg(holder.pid);
    if (holder.pid == 0)
        return kDoctorHeldUnknown.text(language);
    const QString name = holder.name.isEmpty() ? kDoctorUnknownProcess.text(language) : holder.name;
    return kDoctorHeldBy.text(language).arg(holder.pid).arg(name, holder.lockFile);
}

QString accessLine(const PortExamination &device, int language)
{
    using Access = PortExamination::Access;
    switch (device.access) {
    case Access::Free:
        return kDoctorFree.text(language);
    case Access::Held:
        return heldLine(device.holder, language);
    case Access::PermissionDenied:
        return kDoctorPermissionDenied.text(language);
    case Access::Missing:
        return kDoctorMissing.text(language);
    case Access::NoHardware:
        return kDoctorNoHardware.text(language);
    case Access::Failed:
        break;
    }
    return kDoctorOpenFailed.text(language).arg(device.error);
}

} // namespace

QStringList deviceLines(const PortExamination &device, const QString &user, int language)
{
    QStringList lines;
    if (!device.target.isEmpty())
        lines << kDoctorStableName.text(language).arg(device.target);
    lines << accessLine(device, language);
    using Group = PortExamination::GroupState;
    if (device.groupState == Group::NotMember)
        lines << kDoctorNotInGroup.text(language).arg(user, device.group);
    else if (device.groupState == Group::AfterLogin)
        lines << kDoctorGroupAfterLogin.text(language).arg(user, device.group);
    return lines;
}

QString modemManagerLine(const PortDoctorReport &report, int language)
{
    if (report.modemManagerPid == 0)
        return kDoctorNoModemManager.text(language);
    return kDoctorModemManager.text(language).arg(report.modemManagerPid);
}

} // namespace PortDoctorMessages
