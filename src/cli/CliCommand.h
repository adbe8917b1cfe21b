#pragma once

#include "LineScan.h"
#include "ParameterJob.h"
#include "ParameterSet.h"

#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class Language;
class MeterConfiguration;
class MeterLine;
class Prompts;
class SetStore;

// What the command line asked for, as given: the command and its
// positional arguments, and the options as text, so that every check and
// every message about them is made in one place, in the user's language.
struct CliOptions {
    QStringList positional; // the command first, then its meter addresses
    QString device;         // a device path instead of the settings file's port
    QString baud;
    QString parity;   // N, E or O
    QString stopBits; // 1 or 2
    QString type;     // meter type ID
    QString lang;     // 0 Chinese, 1 English; empty: the settings file's
    QString note;
    QString out;
    QString with;
    QString from;
    QStringList to;
    QString skip;
    // The scan's candidates: baud rates, parities (N, O, E) and stop bits as
    // comma-separated lists, the answer time-out in ms; --from and --to
    // give its address range, --stopbits may be a list.
    QString bauds;
    QString parities;
    QString timeout;
    bool yes = false;
    bool json = false;
};

// One run of quorvane-cli: checks the options, opens the line on the
// meters the command names, runs the command to its end and tells what
// happened, as text for people or as one JSON document. Nothing is opened
// or written before the options are found good.
class CliCommand : public QObject {
    Q_OBJECT

public:
    enum Exit { Done = 0, MeterFailed = 1, BadUsage = 2, LineFailed = 3 };

    explicit CliCommand(CliOptions options, QObject *parent = nullptr);
    ~CliCommand() override;

    // Runs the command in event loops of its own; gives the exit code.
    int run();
    // Ends the command after the request under way (SIGTERM, SIGINT).
    void stop();

private:
    enum class Command { Read, Params, Backup, Compare, Restore, Copy, Scan };
    // A file or a meter, as --with and --from take them.
    struct Source {
        QString file;
        int address = -1;
    };

    int checkUsage();
    int prepare();
    int openLine();
    int runRead();
    int runParams();
    int runBackup();
    int runCompare();
    int runWrite();
    int checkDeviceOptions();
    int checkScanUsage();
    int runScan();
    int lineLost();

    std::optional<int> parseAddress(const QString &text);
    std::optional<Source> parseSource(const QString &text);
    std::optional<ParameterSet> loadFile(const QString &file, int &exit);
    // Reads the parameters of one meter; nothing when the job failed.
    std::optional<ParameterSet> readMeter(int address, JobOutcome &outcome);
    JobOutcome waitForJob();
    bool waitUntil(const std::function<bool()> &done, int timeoutMs);

    int fail(int exit, const QString &text);
    void say(const QString &text);
    int finish(int exit);
    QJsonObject outcomeJson(const JobOutcome &outcome, const ParameterSet &set) const;

    CliOptions options;
    Command command = Command::Read;
    int lang = 0;
    QList<int> addresses; // every meter the command names, the line polls their range
    QList<int> targets;
    std::optional<Source> source;
    // The scan's address range and time-out, and the values of its
    // settings as given (empty: the line's own).
    ScanPlan scanPlan;
    QList<int> scanBauds;
    QList<int> scanParities;
    QList<int> scanStopBits; // as stop-bits indexes
    LineScan *scan = nullptr;
    QSet<int> skip;
    std::optional<int> typeOption;
    int meterType = 0;
    QString typeName;
    std::optional<ParameterSet> fileSet;

    std::unique_ptr<Prompts> prompts;
    std::unique_ptr<Language> language;
    std::unique_ptr<MeterConfiguration> meters;
    std::unique_ptr<MeterLine> line;
    std::unique_ptr<SetStore> store;
    std::unique_ptr<ParameterJob> job;
    std::optional<JobOutcome> outcome;
    bool stopped = false;
    QJsonObject document;
};
