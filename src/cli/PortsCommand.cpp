#include "PortsCommand.h"

#include "CliTexts.h"
#include "DataDirectory.h"
#include "PortDoctor.h"
#include "PortDoctorMessages.h"
#include "PortDoctorTexts.h"
#include "SettingsFile.h"
#include "SettingsKeys.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QStringList>

#include <cstdio>

namespace {

constexpr int kDone = 0;
constexpr int kBadUsage = 2;

bool namesLanguage(const QString &option)
{
    return option == QLatin1String("0") || option == QLatin1String("1");
}

// --lang, else the settings file's language, else the system's, as the
// other commands choose it.
int chosenLanguage(const QString &option)
{
    if (namesLanguage(option))
        return option.toInt();
    if (QFileInfo::exists(DataDirectory::filePath(QString::fromLatin1(DataDirectory::SettingsFileName))))
        return SettingsFile().ReadInt(Setting::Lang) == 1 ? 1 : 0;
    return QLocale::system().language() == QLocale::Chinese ? 0 : 1;
}

void print(FILE *stream, const QString &text)
{
    std::fprintf(stream, "%s\n", text.toUtf8().constData());
    std::fflush(stream);
}

const char *accessName(PortExamination::Access access)
{
    using Access = PortExamination::Access;
    switch (access) {
    case Access::Free:
        return "free";
    case Access::Held:
        return "held";
    case Access::PermissionDenied:
        return "permission-denied";
    case Access::Missing:
        return "missing";
    case Access::NoHardware:
        return "no-hardware";
    case Access::Failed:
        break;
    }
    return "failed";
}

const char *groupStateName(PortExamination::GroupState state)
{
    using Group = PortExamination::GroupState;
    switch (state) {
    case Group::NotNeeded:
        return "not-needed";
    case Group::Member:
        return "member";
    case Group::NotMember:
        return "not-member";
    case Group::AfterLogin:
        break;
    }
    return "after-login";
}

QJsonObject deviceJson(const PortExamination &device, const QString &user, int language)
{
    QJsonObject object{{QStringLiteral("path"), device.path},
                       {QStringLiteral("access"), QString::fromLatin1(accessName(device.access))},
                       {QStringLiteral("group"), device.group},
                       {QStringLiteral("groupState"), QString::fromLatin1(groupStateName(device.groupState))},
                       {QStringLiteral("findings"),
                        QJsonArray::fromStringList(PortDoctorMessages::deviceLines(device, user, language))}};
    if (!device.target.isEmpty())
        object.insert(QStringLiteral("target"), device.target);
    if (device.error != 0)
        object.insert(QStringLiteral("error"), device.error);
    if (device.access == PortExamination::Access::Held)
        object.insert(QStringLiteral("holder"),
                      QJsonObject{{QStringLiteral("pid"), device.holder.pid},
                                  {QStringLiteral("name"), device.holder.name},
                                  {QStringLiteral("lockFile"), device.holder.lockFile},
                                  {QStringLiteral("ownProcess"), device.holder.ownProcess}});
    return object;
}

void printJson(const PortDoctorReport &report, int language)
{
    QJsonArray devices;
    for (const PortExamination &device : report.devices)
        devices.append(deviceJson(device, report.user, language));
    const QJsonObject modemManager{
        {QStringLiteral("running"), report.modemManagerPid != 0},
        {QStringLiteral("pid"), report.modemManagerPid},
        {QStringLiteral("finding"), PortDoctorMessages::modemManagerLine(report, language)}};
    const QJsonObject document{{QStringLiteral("user"), report.user},
                               {QStringLiteral("devices"), devices},
                               {QStringLiteral("modemManager"), modemManager}};
    print(stdout, QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Indented)).trimmed());
}

void printText(const PortDoctorReport &report, int language)
{
    if (report.devices.isEmpty())
        print(stdout, kDoctorNoDevices.text(language));
    for (const PortExamination &device : report.devices) {
        print(stdout, device.path);
        for (const QString &line : PortDoctorMessages::deviceLines(device, report.user, language))
            print(stdout, QStringLiteral("  ") + line);
    }
    print(stdout, PortDoctorMessages::modemManagerLine(report, language));
}

} // namespace

int runPorts(bool json, const QString &languageOption, const QStringList &arguments, const QString &root)
{
    const int language = chosenLanguage(languageOption);
    if (!languageOption.isEmpty() && !namesLanguage(languageOption)) {
        print(stderr, QStringLiteral("quorvane-cli: ") +
                          kCliBadOption.text(language).arg(QStringLiteral("--lang"), languageOption));
        return kBadUsage;
    }
    if (!arguments.isEmpty()) {
        print(stderr,
              QStringLiteral("quorvane-cli: ") + kCliPortsNoArgument.text(language).arg(arguments.first()));
        return kBadUsage;
    }
    const PortDoctorReport report = PortDoctor(root.isEmpty() ? QStringLiteral("/") : root).examineAll();
    if (json)
        printJson(report, language);
    else
        printText(report, language);
    return kDone;
}
