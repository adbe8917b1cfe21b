#include "CliCommand.h"

#include "CatalogueMenus.h"
#include "CliTexts.h"
#include "CycleSettings.h"
#include "DataDirectory.h"
#include "Language.h"
#include "LineMessages.h"
#include "LineTransportSettings.h"
#include "MeterConfiguration.h"
#include "MeterLine.h"
#include "MeterTypeCatalog.h"
#include "PortNames.h"
#include "PortSettings.h"
#include "Prompts.h"
#include "SetFile.h"
#include "SetMessages.h"
#include "SetStore.h"
#include "SettingsFile.h"
#include "SettingsKeys.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>

#include <algorithm>
#include <limits>
#include <cstdio>

namespace {

// How long a meter may take to answer its first poll, or to be found
// silent, before the read gives it up.
constexpr int kReadDeadlineMs = 30000;

// The catalogue's and the set store's failures, told on stderr: there is
// no one to answer a question, so none is taken as asked.
class StderrPrompts : public Prompts {
public:
    void error(const QString &text, const QString &caption) override { print(text, caption); }
    void info(const QString &text, const QString &caption) override { print(text, caption); }
    void warning(const QString &text, const QString &caption) override { print(text, caption); }
    bool question(const QString &text, const QString &caption) override
    {
        print(text, caption);
        return false;
    }

private:
    static void print(const QString &text, const QString &caption)
    {
        const QString line = caption.isEmpty() ? text : caption + QStringLiteral(": ") + text;
        std::fprintf(stderr, "quorvane-cli: %s\n", line.toUtf8().constData());
    }
};

void printOut(const QString &text)
{
    std::fprintf(stdout, "%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

QString endName(JobOutcome::End end)
{
    switch (end) {
    case JobOutcome::End::Done:
        return QStringLiteral("done");
    case JobOutcome::End::Cancelled:
        return QStringLiteral("cancelled");
    case JobOutcome::End::NoParameters:
        return QStringLiteral("no-parameters");
    case JobOutcome::End::ReadFailed:
        return QStringLiteral("read-failed");
    case JobOutcome::End::Refused:
        return QStringLiteral("refused");
    case JobOutcome::End::NoAnswer:
        return QStringLiteral("no-answer");
    case JobOutcome::End::ReadBackDifferent:
        return QStringLiteral("read-back-different");
    case JobOutcome::End::Busy:
        return QStringLiteral("busy");
    }
    return QString();
}

QJsonObject setJson(const ParameterSet &set)
{
    return QJsonDocument::fromJson(SetFile::toJson(set)).object();
}

} // namespace

CliCommand::CliCommand(CliOptions options, QObject *parent)
    : QObject(parent), options(std::move(options)), prompts(std::make_unique<StderrPrompts>())
{
}

CliCommand::~CliCommand()
{
    job.reset();
    if (line)
        line->close();
}

int CliCommand::run()
{
    // The language first, so that even a bad command line is told in the
    // user's words: --lang, else the settings file's, else the system's.
    if (options.lang == QLatin1String("0") || options.lang == QLatin1String("1"))
        lang = options.lang.toInt();
    else if (QFileInfo::exists(DataDirectory::filePath(QString::fromLatin1(DataDirectory::SettingsFileName))))
        lang = SettingsFile().ReadInt(Setting::Lang) == 1 ? 1 : 0;
    else
        lang = QLocale::system().language() == QLocale::Chinese ? 0 : 1;
    if (!options.lang.isEmpty() && options.lang != QLatin1String("0") && options.lang != QLatin1String("1"))
        return fail(BadUsage, kCliBadOption.text(lang).arg(QStringLiteral("--lang"), options.lang));

    if (const int exit = checkUsage(); exit != Done)
        return exit;
    if (const int exit = prepare(); exit != Done)
        return exit;
    if (const int exit = openLine(); exit != Done)
        return exit;
    switch (command) {
    case Command::Read:
        return runRead();
    case Command::Params:
        return runParams();
    case Command::Backup:
        return runBackup();
    case Command::Compare:
        return runCompare();
    case Command::Restore:
    case Command::Copy:
        return runWrite();
    case Command::Scan:
        return runScan();
    }
    return Done;
}

void CliCommand::stop()
{
    stopped = true;
    if (job)
        job->cancel();
    if (scan)
        scan->cancel();
}

std::optional<int> CliCommand::parseAddress(const QString &text)
{
    bool ok = false;
    const int address = text.toInt(&ok);
    if (!ok || address < 0 || address > 63)
        return std::nullopt;
    return address;
}

// A meter address, or else a file.
std::optional<CliCommand::Source> CliCommand::parseSource(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    Source found;
    bool number = false;
    text.toInt(&number);
    if (number) {
        const std::optional<int> address = parseAddress(text);
        if (!address)
            return std::nullopt;
        found.address = *address;
    } else {
        found.file = text;
    }
    return found;
}

int CliCommand::checkUsage()
{
    document.insert(QStringLiteral("command"), options.positional.value(0));
    if (options.positional.isEmpty())
        return fail(BadUsage, kCliNoCommand.text(lang));
    const QString name = options.positional.first();
    static const QHash<QString, Command> commands{
        {QStringLiteral("read"), Command::Read},       {QStringLiteral("params"), Command::Params},
        {QStringLiteral("backup"), Command::Backup},   {QStringLiteral("compare"), Command::Compare},
        {QStringLiteral("restore"), Command::Restore}, {QStringLiteral("copy"), Command::Copy},
        {QStringLiteral("scan"), Command::Scan},
    };
    if (!commands.contains(name))
        return fail(BadUsage, kCliUnknownCommand.text(lang).arg(name));
    command = commands.value(name);
    if (command == Command::Scan)
        return checkScanUsage();

    QList<int> named;
    for (const QString &text : options.positional.mid(1)) {
        const std::optional<int> address = parseAddress(text);
        if (!address)
            return fail(BadUsage, kCliBadAddress.text(lang).arg(text));
        if (!named.contains(*address))
            named << *address;
    }

    if (!options.type.isEmpty()) {
        bool ok = false;
        const int type = options.type.toInt(&ok);
        if (!ok || type < 0)
            return fail(BadUsage, kCliBadOption.text(lang).arg(QStringLiteral("--type"), options.type));
        typeOption = type;
    }
    if (const int exit = checkDeviceOptions(); exit != Done)
        return exit;
    for (const QString &text : options.skip.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int k = text.trimmed().toInt(&ok);
        if (!ok || k < 0 || k >= MaxParameters)
            return fail(BadUsage, kCliBadSkip.text(lang).arg(text));
        skip.insert(k);
    }

    switch (command) {
    case Command::Read:
        if (named.isEmpty())
            return fail(BadUsage, kCliNeedAddress.text(lang));
        break;
    case Command::Params:
    case Command::Restore:
        if (named.size() != 1)
            return fail(BadUsage, named.isEmpty() ? kCliNeedAddress.text(lang) : kCliOneAddress.text(lang));
        break;
    case Command::Backup:
        if (named.isEmpty())
            return fail(BadUsage, kCliNeedAddress.text(lang));
        if (!options.out.isEmpty() && named.size() != 1)
            return fail(BadUsage, kCliOutOneMeter.text(lang));
        break;
    case Command::Compare:
        if (named.size() != 1)
            return fail(BadUsage, named.isEmpty() ? kCliNeedAddress.text(lang) : kCliOneAddress.text(lang));
        source = parseSource(options.with);
        if (!source)
            return fail(BadUsage, kCliNeedWith.text(lang));
        break;
    case Command::Copy:
        if (!named.isEmpty())
            return fail(BadUsage, kCliNeedTo.text(lang));
        source = parseSource(options.from);
        if (!source)
            return fail(BadUsage, kCliNeedFromAddress.text(lang));
        for (const QString &list : options.to)
            for (const QString &text : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                const std::optional<int> address = parseAddress(text.trimmed());
                if (!address)
                    return fail(BadUsage, kCliBadAddress.text(lang).arg(text));
                if (!named.contains(*address))
                    named << *address;
            }
        if (named.isEmpty())
            return fail(BadUsage, kCliNeedTo.text(lang));
        break;
    case Command::Scan:
        break;
    }
    if (command == Command::Restore) {
        source = parseSource(options.from);
        if (!source || !source->file.size())
            return fail(BadUsage, kCliNeedFrom.text(lang));
    }
    if ((command == Command::Restore || command == Command::Copy) && !options.yes)
        return fail(BadUsage, kCliNeedYes.text(lang));

    targets = named;
    addresses = named;
    if (source && source->address >= 0 && !addresses.contains(source->address))
        addresses << source->address;
    return Done;
}

// --baud, --parity and --stopbits describe the line of --device.
int CliCommand::checkDeviceOptions()
{
    if (options.device.isEmpty())
        return Done;
    bool ok = false;
    const int baud = options.baud.isEmpty() ? 9600 : options.baud.toInt(&ok);
    if (!options.baud.isEmpty() && (!ok || baud <= 0))
        return fail(BadUsage, kCliBadOption.text(lang).arg(QStringLiteral("--baud"), options.baud));
    const QString parity = options.parity.toUpper();
    if (!options.parity.isEmpty() && parity != QLatin1String("N") && parity != QLatin1String("E") &&
        parity != QLatin1String("O"))
        return fail(BadUsage, kCliBadOption.text(lang).arg(QStringLiteral("--parity"), options.parity));
    // The scan takes a list of stop bits; checkScanUsage() checks it.
    if (command != Command::Scan && !options.stopBits.isEmpty() && options.stopBits != QLatin1String("1") &&
        options.stopBits != QLatin1String("2"))
        return fail(BadUsage, kCliBadOption.text(lang).arg(QStringLiteral("--stopbits"), options.stopBits));
    return Done;
}

// scan [--from A --to B] [--bauds …] [--parities …] [--stopbits …]
// [--timeout MS]: the lists become the plan's settings once the line's own
// setting is known (openLine()); what is not given is the line's own.
int CliCommand::checkScanUsage()
{
    if (options.positional.size() > 1)
        return fail(BadUsage, kCliScanTakesNoAddress.text(lang));
    if (const int exit = checkDeviceOptions(); exit != Done)
        return exit;
    const auto number = [](const QString &text, int fallback, bool *ok) {
        if (text.trimmed().isEmpty()) {
            *ok = true;
            return fallback;
        }
        return text.trimmed().toInt(ok);
    };
    bool fromOk = false;
    bool toOk = false;
    const QString to = options.to.join(QLatin1Char(','));
    scanPlan.firstAddress = number(options.from, 0, &fromOk);
    scanPlan.lastAddress = number(to, Modbus::MeterCount - 1, &toOk);
    if (!fromOk || !toOk || scanPlan.problem() == ScanPlan::Problem::BadRange)
        return fail(BadUsage, kCliScanAddresses.text(lang).arg(options.from.isEmpty() ? QStringLiteral("0")
                                                                                      : options.from,
                                                               to.isEmpty() ? QStringLiteral("63") : to));
    if (!options.timeout.isEmpty()) {
        bool ok = false;
        scanPlan.timeoutMs = options.timeout.toInt(&ok);
        if (!ok || scanPlan.problem() == ScanPlan::Problem::BadTimeout)
            return fail(BadUsage, kCliBadOption.text(lang).arg(QStringLiteral("--timeout"), options.timeout));
    }
    // Each list: its values, checked, in the order given.
    const auto list = [this](const QString &option, const QString &text, auto valueOf, QList<int> &values) {
        for (const QString &item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const std::optional<int> value = valueOf(item.trimmed().toUpper());
            if (!value) {
                fail(BadUsage, kCliBadOption.text(lang).arg(option, text));
                return false;
            }
            values << *value;
        }
        return true;
    };
    const auto baudOf = [](const QString &item) -> std::optional<int> {
        bool ok = false;
        const int baud = item.toInt(&ok);
        return ok && baud > 0 ? std::optional<int>(baud) : std::nullopt;
    };
    const auto parityOf = [](const QString &item) -> std::optional<int> {
        const qsizetype index = QStringLiteral("NOE").indexOf(item);
        return item.size() == 1 && index >= 0 ? std::optional<int>(int(index)) : std::nullopt;
    };
    const auto stopBitsOf = [](const QString &item) -> std::optional<int> {
        return item == QLatin1String("1")   ? 0
               : item == QLatin1String("2") ? std::optional<int>(2)
                                            : std::nullopt;
    };
    if (!list(QStringLiteral("--bauds"), options.bauds, baudOf, scanBauds) ||
        !list(QStringLiteral("--parities"), options.parities, parityOf, scanParities) ||
        !list(QStringLiteral("--stopbits"), options.stopBits, stopBitsOf, scanStopBits))
        return BadUsage;
    addresses = {scanPlan.firstAddress};
    return Done;
}

int CliCommand::prepare()
{
    DataDirectory::prepare();
    if (options.lang.isEmpty())
        lang = SettingsFile().ReadInt(Setting::Lang) == 1 ? 1 : 0;
    language = std::make_unique<Language>(lang);
    const ParameterMenuSource menus = catalogueMenus(*prompts, *language);

    // A file is read and checked whole before the line opens.
    if (source && !source->file.isEmpty()) {
        int exit = Done;
        fileSet = loadFile(source->file, exit);
        if (!fileSet)
            return exit;
    }
    meters = std::make_unique<MeterConfiguration>();
    MeterConfiguration::Values values = MeterConfiguration::read(SettingsFile());
    meterType = typeOption.value_or(fileSet ? fileSet->meterType : values.metertype);
    if (fileSet && fileSet->meterType != meterType)
        return fail(BadUsage,
                    kCliTypeMismatch.text(lang).arg(source->file).arg(fileSet->meterType).arg(meterType));
    const MeterTypeCatalog catalogue(*prompts, DataDirectory::path(), lang);
    const std::optional<MeterType> type = catalogue.type(meterType);
    const bool needsMenu = command != Command::Read && command != Command::Scan;
    if (needsMenu && (!type || !menus(meterType) || menus(meterType)->count <= 0))
        return fail(BadUsage, kCliTypeUnknown.text(lang).arg(meterType));
    typeName = type ? type->name : QString();

    values.metertype = meterType;
    values.startaddress = *std::min_element(addresses.begin(), addresses.end());
    values.endaddress = *std::max_element(addresses.begin(), addresses.end());
    meters->set(values);

    if (command == Command::Backup || command == Command::Restore || command == Command::Copy) {
        store = std::make_unique<SetStore>(DataDirectory::path());
        if (!store->isOpen())
            return fail(BadUsage, kCliStoreFailed.text(lang).arg(
                                      DataDirectory::filePath(QString::fromLatin1(SetStore::FileName)),
                                      store->errorText()));
    }
    const QString device = options.device;
    PortNames names = device.isEmpty()
                          ? PortNames([](int n) { return PortSettings::configuredDevice(SettingsFile(), n); })
                          : PortNames([device](int) { return device; });
    line = std::make_unique<MeterLine>(std::move(names), *meters, menus, QStringLiteral("cli"));
    job = std::make_unique<ParameterJob>(*line, store.get());
    connect(job.get(), &ParameterJob::finished, this, [this](const JobOutcome &ended) { outcome = ended; });
    return Done;
}

std::optional<ParameterSet> CliCommand::loadFile(const QString &file, int &exit)
{
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly)) {
        exit = fail(BadUsage, kCliCannotRead.text(lang).arg(file));
        return std::nullopt;
    }
    SetFile::ImportError error;
    std::optional<ParameterSet> set =
        SetFile::fromJson(input.readAll(), catalogueMenus(*prompts, *language), error);
    if (!set)
        exit = fail(BadUsage, SetMessages::importText(error, file, lang));
    return set;
}

int CliCommand::openLine()
{
    SettingsFile settings;
    PortSettings port = PortSettings::read(settings);
    LineOpenResult opened;
    if (options.device.isEmpty()) {
        opened = line->open(port);
    } else {
        port.baudText = options.baud.isEmpty() ? QStringLiteral("9600") : options.baud;
        const QString parity = options.parity.toUpper();
        port.parityIndex = parity == QLatin1String("O") ? 1 : parity == QLatin1String("E") ? 2 : 0;
        port.stopBitsIndex = options.stopBits.startsWith(QLatin1Char('2')) ? 2 : 0;
        port.dataBits = 8;
        LineSetup setup;
        setup.port = port;
        setup.transport = LineTransportSettings{};
        setup.cycle = CycleSettings::read(settings);
        opened = line->open(setup);
    }
    if (opened)
        return Done;
    QString reason = LineMessages::portFailureText(opened.failure, lang);
    if (reason.isEmpty())
        reason = kCliNoReason.text(lang);
    if (opened.failure.reason == PortFailure::Reason::PermissionDenied)
        return fail(LineFailed, kCliPortHeld.text(lang).arg(reason));
    return fail(LineFailed, kCliLineFailed.text(lang).arg(reason));
}

bool CliCommand::waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 100);
    }
    return true;
}

JobOutcome CliCommand::waitForJob()
{
    waitUntil([this] { return outcome.has_value(); }, std::numeric_limits<int>::max());
    const JobOutcome ended = *outcome;
    outcome.reset();
    return ended;
}

std::optional<ParameterSet> CliCommand::readMeter(int address, JobOutcome &ended)
{
    std::optional<ParameterSet> read;
    const QMetaObject::Connection connection =
        connect(job.get(), &ParameterJob::setRead, this, [&read](const ParameterSet &set) { read = set; });
    if (stopped || !job->read(address, meterType, typeName))
        ended = JobOutcome::of(stopped ? JobOutcome::End::Cancelled : JobOutcome::End::Busy, address);
    else
        ended = waitForJob();
    disconnect(connection);
    if (ended.end != JobOutcome::End::Done)
        return std::nullopt;
    return read;
}

int CliCommand::runRead()
{
    QSet<int> answered;
    QSet<int> silent;
    connect(&line->liveValues(), &LiveValueTable::valueStored, this,
            [&](int address) { answered.insert(address); });
    connect(&line->liveValues(), &LiveValueTable::markedNotAnswering, this,
            [&](int address) { silent.insert(address); });
    const auto settled = [&] {
        return stopped || std::all_of(addresses.begin(), addresses.end(), [&](int address) {
                   return answered.contains(address) || silent.contains(address);
               });
    };
    waitUntil(settled, kReadDeadlineMs);
    if (stopped)
        return fail(MeterFailed, kCliStopped.text(lang));

    QJsonArray list;
    bool all = true;
    for (int address : addresses) {
        const bool answers = answered.contains(address);
        all = all && answers;
        const double value = line->liveValues().value(address);
        QJsonObject meter{{QStringLiteral("address"), address}, {QStringLiteral("answering"), answers}};
        if (answers)
            meter.insert(QStringLiteral("value"), value);
        list << meter;
        say(answers ? kCliValue.text(lang).arg(address).arg(QString::number(value, 'f', 1))
                    : kCliNoAnswer.text(lang).arg(address));
    }
    document.insert(QStringLiteral("meters"), list);
    return finish(all ? Done : MeterFailed);
}

int CliCommand::runParams()
{
    JobOutcome ended;
    const int address = addresses.first();
    const std::optional<ParameterSet> set = readMeter(address, ended);
    if (!set)
        return fail(MeterFailed, SetMessages::outcomeText(ended, ParameterSet{}, lang));
    say(kCliParamsHead.text(lang).arg(address).arg(typeName));
    QJsonArray list;
    for (const SetParameter &p : set->parameters) {
        const QString caption = lang == 1 ? p.captionEN : p.caption;
        say(QStringLiteral("%1\t%2\t%3\t%4").arg(p.k).arg(p.reg).arg(caption, p.text));
        list << QJsonObject{{QStringLiteral("k"), p.k},
                            {QStringLiteral("register"), p.reg},
                            {QStringLiteral("caption"), caption},
                            {QStringLiteral("raw"), p.raw},
                            {QStringLiteral("text"), p.text}};
    }
    document.insert(QStringLiteral("address"), address);
    document.insert(QStringLiteral("meterType"), meterType);
    document.insert(QStringLiteral("meterTypeName"), typeName);
    document.insert(QStringLiteral("parameters"), list);
    return finish(Done);
}

int CliCommand::runBackup()
{
    QList<ParameterSet> read;
    connect(job.get(), &ParameterJob::setRead, this, [&read](const ParameterSet &set) { read << set; });
    JobOutcome ended = JobOutcome::of(JobOutcome::End::Busy);
    // The store keeps "no note" as an empty text, never as none.
    const QString note = options.note.isNull() ? QStringLiteral("") : options.note;
    if (!stopped && job->backup(addresses, meterType, typeName, note))
        ended = waitForJob();

    QJsonArray sets;
    int exit = ended.end == JobOutcome::End::Done ? Done : MeterFailed;
    for (ParameterSet &set : read) {
        const std::optional<qint64> id = store->save(set);
        if (!id) {
            std::fprintf(
                stderr, "quorvane-cli: %s\n",
                kCliSaveFailed.text(lang).arg(set.address).arg(store->errorText()).toUtf8().constData());
            exit = MeterFailed;
            continue;
        }
        set.id = *id;
        say(kCliBackupStored.text(lang).arg(set.address).arg(*id));
        QJsonObject entry = setJson(set);
        entry.insert(QStringLiteral("id"), *id);
        sets << entry;
    }
    document.insert(QStringLiteral("sets"), sets);
    if (!options.out.isEmpty() && read.size() == 1) {
        QFile file(options.out);
        const QByteArray json = SetFile::toJson(read.first());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(json) != json.size()) {
            std::fprintf(stderr, "quorvane-cli: %s\n",
                         kCliCannotWrite.text(lang).arg(options.out).toUtf8().constData());
            exit = BadUsage;
        } else {
            say(kCliFileWritten.text(lang).arg(options.out));
            document.insert(QStringLiteral("file"), options.out);
        }
    }
    if (ended.end != JobOutcome::End::Done) {
        const QString text =
            SetMessages::outcomeText(ended, read.isEmpty() ? ParameterSet{} : read.last(), lang);
        document.insert(QStringLiteral("outcome"), outcomeJson(ended, ParameterSet{}));
        return fail(exit, text);
    }
    return finish(exit);
}

int CliCommand::runCompare()
{
    JobOutcome ended;
    const int address = addresses.first();
    const std::optional<ParameterSet> left = readMeter(address, ended);
    if (!left)
        return fail(MeterFailed, SetMessages::outcomeText(ended, ParameterSet{}, lang));
    std::optional<ParameterSet> right = fileSet;
    if (!right) {
        right = readMeter(source->address, ended);
        if (!right)
            return fail(MeterFailed, SetMessages::outcomeText(ended, ParameterSet{}, lang));
    }
    const QString rightName = fileSet ? source->file : kCliMeterColumn.text(lang).arg(source->address);
    say(kCliCompareHead.text(lang).arg(kCliMeterColumn.text(lang).arg(address), rightName));

    QList<int> ks;
    for (const SetParameter &p : left->parameters)
        ks << p.k;
    for (const SetParameter &p : right->parameters)
        if (!ks.contains(p.k))
            ks << p.k;
    std::sort(ks.begin(), ks.end());
    const QList<ParameterDifference> differing = differences(*left, *right);
    const auto differs = [&differing](int k) {
        return std::any_of(differing.begin(), differing.end(),
                           [k](const ParameterDifference &d) { return d.k == k; });
    };
    QJsonArray rows;
    for (int k : ks) {
        const SetParameter *l = left->parameter(k);
        const SetParameter *r = right->parameter(k);
        const SetParameter *either = l ? l : r;
        const QString caption = lang == 1 ? either->captionEN : either->caption;
        const bool marked = differs(k);
        say(QStringLiteral("%1%2\t%3\t%4\t%5\t%6")
                .arg(marked ? QStringLiteral("* ") : QStringLiteral("  "))
                .arg(k)
                .arg(either->reg)
                .arg(caption, l ? l->text : QStringLiteral("-"), r ? r->text : QStringLiteral("-")));
        QJsonObject row{{QStringLiteral("k"), k},
                        {QStringLiteral("register"), either->reg},
                        {QStringLiteral("caption"), caption},
                        {QStringLiteral("differs"), marked}};
        if (l) {
            row.insert(QStringLiteral("left"), l->raw);
            row.insert(QStringLiteral("leftText"), l->text);
        }
        if (r) {
            row.insert(QStringLiteral("right"), r->raw);
            row.insert(QStringLiteral("rightText"), r->text);
        }
        rows << row;
    }
    say(kCliDifferences.text(lang).arg(differing.size()));
    document.insert(QStringLiteral("address"), address);
    document.insert(QStringLiteral("with"), fileSet ? QJsonValue(source->file) : QJsonValue(source->address));
    document.insert(QStringLiteral("rows"), rows);
    document.insert(QStringLiteral("differences"), int(differing.size()));
    return finish(Done);
}

int CliCommand::runWrite()
{
    ParameterSet set;
    if (fileSet) {
        set = *fileSet;
    } else {
        JobOutcome ended;
        const std::optional<ParameterSet> read = readMeter(source->address, ended);
        if (!read)
            return fail(MeterFailed, SetMessages::outcomeText(ended, ParameterSet{}, lang));
        set = *read;
    }
    // A restore goes to the meter named, whichever meter the file came from.
    if (command == Command::Restore)
        set.address = targets.first();

    QJsonArray planned;
    QJsonArray steps;
    connect(job.get(), &ParameterJob::planned, this,
            [&](int address, const QList<ParameterDifference> &writes) {
                say(kCliPlanned.text(lang).arg(address).arg(writes.size()));
                QJsonArray ks;
                for (const ParameterDifference &d : writes)
                    ks << d.k;
                planned << QJsonObject{{QStringLiteral("address"), address}, {QStringLiteral("k"), ks}};
            });
    connect(job.get(), &ParameterJob::stepDone, this, [&](const WriteStep &step) {
        const SetParameter *p = set.parameter(step.k);
        const QString caption = p ? (lang == 1 ? p->captionEN : p->caption) : QString();
        say(kCliStep.text(lang)
                .arg(step.address)
                .arg(step.k)
                .arg(caption)
                .arg(step.before)
                .arg(step.written)
                .arg(step.readBack ? QString::number(*step.readBack) : kCliNotRead.text(lang)));
        QJsonObject entry{{QStringLiteral("address"), step.address},
                          {QStringLiteral("k"), step.k},
                          {QStringLiteral("before"), step.before},
                          {QStringLiteral("written"), step.written}};
        if (step.readBack)
            entry.insert(QStringLiteral("readBack"), *step.readBack);
        steps << entry;
    });
    JobOutcome ended = JobOutcome::of(stopped ? JobOutcome::End::Cancelled : JobOutcome::End::Busy);
    if (!stopped && job->restore(set, targets, skip))
        ended = waitForJob();
    document.insert(QStringLiteral("planned"), planned);
    document.insert(QStringLiteral("steps"), steps);
    document.insert(QStringLiteral("outcome"), outcomeJson(ended, set));
    const QString text = SetMessages::outcomeText(ended, set, lang);
    if (ended.end != JobOutcome::End::Done)
        return fail(MeterFailed, text);
    say(text);
    return finish(Done);
}

// Every combination of the lists, the line's own setting first; each find
// is told as it happens, each setting without one when it has ended.
int CliCommand::runScan()
{
    waitUntil([this] { return stopped || line->isOpen(); }, kReadDeadlineMs);
    const ScanSetting own = line->ownSetting();
    const QList<int> bauds = scanBauds.isEmpty() ? QList<int>{own.baud} : scanBauds;
    const QList<int> parities = scanParities.isEmpty() ? QList<int>{own.parityIndex} : scanParities;
    const QList<int> stopBits = scanStopBits.isEmpty() ? QList<int>{own.stopBitsIndex} : scanStopBits;
    scanPlan.settings = {own};
    for (int baud : bauds)
        for (int parity : parities)
            for (int stop : stopBits)
                scanPlan.settings << ScanSetting{baud, own.dataBits, parity, stop};
    // The line's own setting is tried only when the lists name it.
    if (!(bauds.contains(own.baud) && parities.contains(own.parityIndex) &&
          stopBits.contains(own.stopBitsIndex)))
        scanPlan.settings.removeFirst();

    // The plan is checked and nothing else runs: only a line that did not
    // come up refuses it.
    scan = stopped ? nullptr : line->startScan(scanPlan);
    if (!scan)
        return stopped ? fail(MeterFailed, kCliStopped.text(lang)) : lineLost();
    QJsonArray finds;
    QJsonArray empty;
    connect(scan, &LineScan::found, this, [&](const ScanFind &find) {
        const QString setting = find.setting.shortName();
        QJsonObject json{{QStringLiteral("address"), find.address},
                         {QStringLiteral("setting"), setting},
                         {QStringLiteral("baud"), find.setting.baud},
                         {QStringLiteral("parity"), QString(QLatin1Char("NOEMS"[find.setting.parityIndex]))},
                         {QStringLiteral("dataBits"), find.setting.dataBits},
                         {QStringLiteral("stopBits"), find.setting.stopBitsIndex == 0 ? 1 : 2},
                         {QStringLiteral("responseMs"), find.responseMs}};
        if (find.exception) {
            json.insert(QStringLiteral("exceptionCode"), find.exceptionCode);
            say(kCliScanException.text(lang)
                    .arg(find.address)
                    .arg(setting)
                    .arg(find.exceptionCode)
                    .arg(find.responseMs));
        } else {
            const double value = find.raw / 10.0;
            json.insert(QStringLiteral("value"), value);
            say(kCliScanFound.text(lang)
                    .arg(find.address)
                    .arg(setting, QString::number(value, 'f', 1))
                    .arg(find.responseMs));
        }
        finds << json;
    });
    connect(scan, &LineScan::settingDone, this, [&](const ScanSettingResult &result) {
        if (result.found > 0)
            return;
        empty << result.setting.shortName();
        say(kCliScanNothingAt.text(lang).arg(result.setting.shortName()));
    });
    std::optional<ScanEnd> end;
    connect(scan, &LineScan::ended, this, [&end](ScanEnd how) { end = how; });
    QElapsedTimer clock;
    clock.start();
    waitUntil([&end] { return end.has_value(); }, std::numeric_limits<int>::max());
    const QString seconds = QString::number(clock.elapsed() / 1000.0, 'f', 1);
    document.insert(QStringLiteral("found"), finds);
    document.insert(QStringLiteral("nothingAt"), empty);
    if (*end == ScanEnd::Cancelled)
        return fail(MeterFailed, kCliStopped.text(lang));
    if (*end == ScanEnd::LineLost)
        return lineLost();
    say(finds.isEmpty() ? kCliScanNone.text(lang).arg(seconds)
                        : kCliScanSummary.text(lang).arg(finds.size()).arg(seconds));
    return finish(finds.isEmpty() ? MeterFailed : Done);
}

int CliCommand::lineLost()
{
    QString reason = LineMessages::portFailureText(line->lastFailure(), lang);
    return fail(LineFailed,
                kCliLineFailed.text(lang).arg(reason.isEmpty() ? kCliNoReason.text(lang) : reason));
}

QJsonObject CliCommand::outcomeJson(const JobOutcome &ended, const ParameterSet &) const
{
    QJsonObject json{{QStringLiteral("end"), endName(ended.end)}, {QStringLiteral("writes"), ended.writes}};
    if (ended.address >= 0)
        json.insert(QStringLiteral("address"), ended.address);
    if (ended.k >= 0)
        json.insert(QStringLiteral("k"), ended.k);
    if (ended.exceptionCode)
        json.insert(QStringLiteral("exceptionCode"), ended.exceptionCode);
    if (ended.written)
        json.insert(QStringLiteral("written"), *ended.written);
    if (ended.read)
        json.insert(QStringLiteral("read"), *ended.read);
    return json;
}

void CliCommand::say(const QString &text)
{
    if (!options.json)
        printOut(text);
}

int CliCommand::fail(int exit, const QString &text)
{
    std::fprintf(stderr, "quorvane-cli: %s\n", text.toUtf8().constData());
    document.insert(QStringLiteral("message"), text);
    return finish(exit);
}

int CliCommand::finish(int exit)
{
    if (options.json) {
        document.insert(QStringLiteral("exitCode"), exit);
        printOut(QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Indented)).trimmed());
    }
    return exit;
}
