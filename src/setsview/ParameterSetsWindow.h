#pragma once

#include "ModbusFrame.h"
#include "ParameterData.h"
#include "ParameterSet.h"

#include <QMap>
#include <QSet>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class Language;
class MeterConfiguration;
class MeterLine;
class ParameterJob;
class Prompts;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStandardItemModel;
class QTabWidget;
class QTableView;
class SetStore;
struct JobOutcome;

// A tool window with the configured meters and their install positions, the
// parameter sets stored of them, and what can be done with a set: back up
// meters, export and import a set, compare a set with a meter as it is now,
// restore a set to its meter; and the log of every parameter write.
class ParameterSetsWindow : public QWidget {
    Q_OBJECT

public:
    // The columns of the comparison.
    enum CompareColumn { CompareK, CompareCaption, CompareSet, CompareMeter, CompareMarker, CompareColumns };

    // `typeName` names a meter type; `refused` says, and tells the user,
    // that meters cannot be read or written now.
    ParameterSetsWindow(MeterLine &line, SetStore &store, const MeterConfiguration &meters,
                        ParameterMenuSource menus, std::function<QString(int)> typeName,
                        std::function<bool()> refused, const Language &language, Prompts &prompts,
                        QWidget *parent = nullptr);
    ~ParameterSetsWindow() override;

    // Install positions by address, as the meter register holds them.
    void setPositions(const std::array<QString, Modbus::MeterCount> &positions);

    // Backs up the meters at `addresses`, each into a set with the note typed.
    bool backup(const QList<int> &addresses);
    // The meters selected in the list; all configured ones.
    QList<int> selectedMeters() const;
    QList<int> configuredMeters() const;
    // The stored set selected, if any; selects the set `id`.
    std::optional<ParameterSet> selectedSet() const;
    void selectSet(qint64 id);

    bool exportTo(const QString &path, bool csv);
    // Stores the set a JSON file holds; a refused file is told and nothing stored.
    bool importFrom(const QString &path);
    // Reads the meter `address` and compares the selected set with it.
    bool compareWith(int address);
    // Compares the selected set with the stored set `id`; nothing is read.
    bool compareWithSet(qint64 id);
    // Writes the selected set to its meter after the user agreed.
    bool restoreSelected();
    void cancel();
    bool busy() const;

    // Copy: ticks the target meters, reads them and shows the differences
    // of each, its rows ticked but for the address and the baud rate.
    void setCopyTargets(const QList<int> &addresses);
    bool previewCopy();
    // Writes the ticked rows of the preview after the user agreed.
    bool copyTicked();
    // A caption of the communication address or the baud rate.
    static bool isLinkParameter(const SetParameter &parameter);

    // Shows the write log of one meter only, or of all.
    void filterLog(std::optional<int> address);
    bool exportLogTo(const QString &path);

    // What the window last told in its own status line.
    QString statusText() const;
    int differenceCount() const { return differencesFound; }

    QStandardItemModel *metersModel() const { return meterRows; }
    QStandardItemModel *setsModel() const { return setRows; }
    QStandardItemModel *compareModel() const { return compareRows; }
    QStandardItemModel *logModel() const { return logRows; }
    QStandardItemModel *copyTargetsModel() const { return targetRows; }
    QStandardItemModel *previewModel() const { return previewRows; }
    // The roles of the preview's first column: the target and the parameter.
    static constexpr int AddressRole = Qt::UserRole + 2;
    static constexpr int KRole = Qt::UserRole + 3;

private:
    enum class Task { None, Backup, Compare, Restore, CopyPreview, Copy };

    void retranslate();
    void fillMeters();
    void fillSets();
    void fillLog();
    void showComparison();
    void fillPreview();
    void copyNext();
    void onSetRead(const ParameterSet &set);
    void onFinished(const JobOutcome &outcome);
    void setStatus(const QString &text);
    bool startRefused();
    bool writeFile(const QString &path, const QByteArray &bytes);
    void exportClicked(bool csv);
    void importClicked();
    void exportLogClicked();
    QString caption(const SetParameter &p) const;

    MeterLine &line;
    SetStore &store;
    const MeterConfiguration &configuration;
    ParameterMenuSource menus;
    std::function<QString(int)> typeName;
    std::function<bool()> refused;
    const Language &language;
    Prompts &prompts;
    ParameterJob *job = nullptr;
    std::array<QString, Modbus::MeterCount> positions;

    Task task = Task::None;
    int stored = 0;
    ParameterSet compared;                // the set compared or restored
    std::optional<ParameterSet> meterNow; // the meter it was compared with, or the other set
    bool otherIsSet = false;              // meterNow is a stored set
    int differencesFound = 0;
    std::optional<int> logFilter;
    ParameterSet copySource;
    QList<ParameterSet> targetsNow; // the copy targets as read for the preview
    QList<int> copyQueue;
    QMap<int, QSet<int>> copySkip; // by target, the unticked parameters
    int copiedWrites = 0;
    int copiedMeters = 0;

    QTabWidget *tabs = nullptr;
    QStandardItemModel *meterRows = nullptr;
    QStandardItemModel *setRows = nullptr;
    QStandardItemModel *compareRows = nullptr;
    QStandardItemModel *logRows = nullptr;
    QTableView *metersView = nullptr;
    QTableView *setsView = nullptr;
    QTableView *compareView = nullptr;
    QTableView *logView = nullptr;
    QLabel *noteLabel = nullptr;
    QLineEdit *noteEdit = nullptr;
    QPushButton *backupSelectedButton = nullptr;
    QPushButton *backupAllButton = nullptr;
    QPushButton *cancelButton = nullptr;
    QPushButton *exportJsonButton = nullptr;
    QPushButton *exportCsvButton = nullptr;
    QPushButton *importButton = nullptr;
    QPushButton *compareButton = nullptr;
    QComboBox *compareMeter = nullptr;
    QPushButton *restoreButton = nullptr;
    QProgressBar *progressBar = nullptr;
    QLabel *status = nullptr;
    QLabel *compareSummary = nullptr;
    QComboBox *logMeter = nullptr;
    QStandardItemModel *targetRows = nullptr;
    QStandardItemModel *previewRows = nullptr;
    QTableView *targetsView = nullptr;
    QTableView *previewView = nullptr;
    QPushButton *previewButton = nullptr;
    QPushButton *copyButton = nullptr;
    QLabel *previewSummary = nullptr;
    QPushButton *logRefreshButton = nullptr;
    QPushButton *logExportButton = nullptr;
};
