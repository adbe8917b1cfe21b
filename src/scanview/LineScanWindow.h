#pragma once

#include "LineScan.h"
#include "MeterLine.h"
#include "ScanResults.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class Language;
class MeterConfiguration;
class Prompts;
class QCheckBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStandardItemModel;
class QTableView;
class SettingsFile;
struct PortSettings;

// A tool window that scans the line for meters: the address range, baud
// rates, parities and stop bits to try and the time-out, the scan's
// progress, the meters found as they answer and what each setting brought.
// The finds can be copied, saved as CSV, taken as the port and meter
// configuration (the line reopened with it at once) and added to the
// register of meters.
class LineScanWindow : public QWidget {
    Q_OBJECT

public:
    // What the window needs of the program around it: the name of a meter
    // type, whether the line may be scanned now (refused() says why
    // itself), how the line is reopened with new port settings, and the
    // directory of the register.
    struct Seams {
        std::function<QString(int)> typeName;
        std::function<bool()> refused;
        std::function<void(const PortSettings &)> reopenLine;
        QString registerDirectory;
    };

    // `port` is the port the line runs with, `settings` the file the
    // configuration is stored in.
    LineScanWindow(MeterLine &line, MeterConfiguration &meters, const PortSettings &port,
                   SettingsFile &settings, Seams seams, const Language &language, Prompts &prompts,
                   QWidget *parent = nullptr);
    ~LineScanWindow() override;

    // Sets the inputs to the whole address range and the line's own setting.
    void presetFromLine();
    // Starts a scan with the inputs; false, told to the operator, when it
    // cannot start.
    bool start();
    void cancel();
    bool scanning() const;

    // Takes the setting of the selected find (else of the first) and the
    // addresses found at it as the configuration, and reopens the line.
    bool useAsConfiguration();
    // Adds the found meters the register lacks; how many were added.
    int addToRegister();
    // The finds as the clipboard gets them; saves them as CSV to `path`.
    QString tableText() const;
    void copyToClipboard();
    bool saveCsv(const QString &path);

    const QList<ScanFind> &finds() const { return found; }
    QStandardItemModel *resultsModel() const { return resultRows; }
    // The lines that tell what each setting brought.
    QStringList settingSummaries() const;
    QString statusText() const;

private:
    void retranslate();
    void buildInputs();
    void buildResults();
    void buildLayout();
    void onFound(const ScanFind &find);
    void appendRow(const ScanFind &find);
    void onProgress(int done, int total, qint64 remainingMs);
    void onSettingDone(const ScanSettingResult &result);
    void appendSummary(const ScanSettingResult &result);
    void onEnded(ScanEnd end);
    void showResults();
    void showProgress();
    void showEnd();
    void updateButtons();
    std::optional<ScanResults::Choices> choices();
    QString refusalText(MeterLine::ScanRefusal why, const ScanPlan &plan) const;
    void setStatus(const QString &text);
    void tell(const QString &text);
    void saveClicked();

    MeterLine &line;
    MeterConfiguration &configuration;
    const PortSettings &port;
    SettingsFile &settings;
    Seams seams;
    const Language &language;
    Prompts &prompts;
    QPointer<LineScan> scan;

    QList<ScanFind> found;
    QList<ScanSettingResult> settingResults;
    std::optional<ScanEnd> lastEnd;
    int candidatesDone = 0;
    int candidatesTotal = 0;
    qint64 remaining = 0;

    QLabel *fromLabel = nullptr;
    QSpinBox *fromSpin = nullptr;
    QLabel *toLabel = nullptr;
    QSpinBox *toSpin = nullptr;
    QLabel *baudLabel = nullptr;
    QListWidget *baudList = nullptr;
    QLabel *parityLabel = nullptr;
    QCheckBox *parityBoxes[3] = {};
    QLabel *stopBitsLabel = nullptr;
    QCheckBox *stopBitsBoxes[2] = {};
    QLabel *timeoutLabel = nullptr;
    QSpinBox *timeoutSpin = nullptr;
    QPushButton *startButton = nullptr;
    QPushButton *cancelButton = nullptr;
    QProgressBar *progressBar = nullptr;
    QLabel *progressLabel = nullptr;
    QStandardItemModel *resultRows = nullptr;
    QTableView *resultsView = nullptr;
    QListWidget *summaryList = nullptr;
    QPushButton *copyButton = nullptr;
    QPushButton *saveButton = nullptr;
    QPushButton *configButton = nullptr;
    QPushButton *registerButton = nullptr;
    QLabel *status = nullptr;
};
