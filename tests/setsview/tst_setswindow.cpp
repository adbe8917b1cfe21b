// The parameter sets window on a line over a pseudo-terminal to the meter
// simulator, with its sets and write log in a SQLite file of its own:
// backups, files, comparison, restore and copy as the operator drives them.
#include "LineUnderTest.h"
#include "MeterSimProcess.h"
#include "ParameterPresets.h"
#include "ParameterSetsWindow.h"
#include "SetFile.h"
#include "SetMessages.h"
#include "SetStore.h"
#include "SetsTexts.h"

#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kDeadlineMs = 60000;
constexpr int kCount = 6;
constexpr int kType = 5;

// Meter type 5 with six parameters: the communication address, the baud
// rate, then four others, the third in tenths.
std::optional<ParameterMenu> menus(int type)
{
    if (type != kType)
        return std::nullopt;
    ParameterMenu menu;
    menu.count = kCount;
    for (int k = 0; k < kCount; ++k) {
        menu.captionC[k] = QStringLiteral("参数 %1").arg(k);
        menu.captionE[k] = QStringLiteral("Parameter %1").arg(k);
        menu.oneDecimal[k] = k == 2;
    }
    menu.captionC[0] = QStringLiteral("通讯地址");
    menu.captionE[0] = QStringLiteral("Comm. Address");
    menu.captionC[1] = QStringLiteral("波特率");
    menu.captionE[1] = QStringLiteral("BAUD rate");
    return menu;
}



} // namespace

class TestSetsWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<MeterSimProcess> sim;
    std::unique_ptr<LineUnderTest> rig;
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<SetStore> store;
    RecordingPrompts prompts;
    bool watched = false;
    std::unique_ptr<ParameterSetsWindow> window;

    // The line polls meters 3 to 5 of type 5.
    bool start(const QStringList &simArguments = {})
    {
        sim = std::make_unique<MeterSimProcess>();
        if (!sim->start(QStringList{"--addresses", "3-5"} + presetMeters({3, 4, 5}, kCount) + simArguments))
            return false;
        rig = std::make_unique<LineUnderTest>(sim->devicePath(), menus, 3, 5, 200);
        home = std::make_unique<QTemporaryDir>();
        store = std::make_unique<SetStore>(home->path());
        prompts.clear();
        prompts.answer = true;
        watched = false;
        window = std::make_unique<ParameterSetsWindow>(
            *rig->line, *store, rig->meters, menus, [](int) { return QStringLiteral("TC"); },
            [this] {
                if (watched)
                    prompts.error(QStringLiteral("watched"), QString());
                return watched;
            },
            rig->language, prompts);
        std::array<QString, Modbus::MeterCount> positions;
        positions[4] = QStringLiteral("Boiler room");
        window->setPositions(positions);
        window->show();
        return rig->open();
    }

    bool idle()
    {
        return QTest::qWaitFor([this] { return !window->busy(); }, kDeadlineMs);
    }

    // Backs up `meters` through the list and the button.
    bool backUp(const QList<int> &meters)
    {
        auto *view = window->findChild<QTableView *>(QStringLiteral("metersTable"));
        view->clearSelection();
        for (int row = 0; row < window->metersModel()->rowCount(); ++row)
            if (meters.contains(window->metersModel()->item(row, 0)->text().toInt()))
                view->selectionModel()->select(window->metersModel()->index(row, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        window->findChild<QPushButton *>(QStringLiteral("backupSelectedButton"))->click();
        return window->busy() && idle();
    }

    // The newest stored set of `address`.
    ParameterSet newestOf(int address) { return store->sets(address).value(0); }

    // `set` as a file with the values of `raws` (by k) changed, stored
    // through the window's import.
    bool importChanged(const ParameterSet &set, const QMap<int, int> &raws, qint64 &id)
    {
        QJsonObject json = QJsonDocument::fromJson(SetFile::toJson(set)).object();
        QJsonArray parameters = json.value("parameters").toArray();
        for (qsizetype i = 0; i < parameters.size(); ++i) {
            QJsonObject p = parameters[i].toObject();
            if (raws.contains(p.value("k").toInt()))
                p.insert("raw", raws.value(p.value("k").toInt()));
            parameters[i] = p;
        }
        json.insert("parameters", parameters);
        const QString path = home->filePath(QStringLiteral("changed.json"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(json).toJson()) < 0)
            return false;
        file.close();
        if (!window->importFrom(path))
            return false;
        id = window->selectedSet()->id;
        return true;
    }

    // The writes (function 6) the simulator took since `from`: address and register.
    QList<QPair<int, int>> writesSince(qsizetype from)
    {
        QList<QPair<int, int>> found;
        const QList<MeterSimProcess::Request> all = sim->requests();
        for (qsizetype i = from; i < all.size(); ++i)
            if (all[i].function == 6)
                found << qMakePair(all[i].address, all[i].reg);
        return found;
    }

private slots:
    void cleanup()
    {
        window.reset();
        rig.reset();
        if (sim)
            QVERIFY(sim->stop());
        sim.reset();
        store.reset();
        home.reset();
    }

    void theMetersAreListedWithTheirPositions()
    {
        QVERIFY(start());
        QCOMPARE(window->windowTitle(), QStringLiteral("Parameter sets"));
        QCOMPARE(window->metersModel()->rowCount(), 3);
        QCOMPARE(window->metersModel()->item(1, 0)->text(), QStringLiteral("4"));
        QCOMPARE(window->metersModel()->item(1, 1)->text(), QStringLiteral("Boiler room"));
        QCOMPARE(window->metersModel()->item(1, 2)->text(), QStringLiteral("TC"));
        rig->language.set(0);
        QCOMPARE(window->windowTitle(), QStringLiteral("参数组"));
        QCOMPARE(window->metersModel()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("安装位置"));
        auto *backup = window->findChild<QPushButton *>(QStringLiteral("backupSelectedButton"));
        QCOMPARE(backup->accessibleName(), QStringLiteral("备份所选仪表"));
    }

    void aBackupStoresTheSetsOfTheSelectedMeters()
    {
        QVERIFY(start());
        window->findChild<QLineEdit *>(QStringLiteral("noteEdit"))
            ->setText(QStringLiteral("before the change"));
        QVERIFY(backUp({3, 5}));
        QCOMPARE(window->statusText(), kSetsBackupDone.text(1).arg(2));
        const QList<ParameterSet> sets = store->sets();
        QCOMPARE(sets.size(), 2);
        QCOMPARE(rawOf(newestOf(3)), presetOf(3, kCount));
        QCOMPARE(rawOf(newestOf(5)), presetOf(5, kCount));
        QCOMPARE(newestOf(5).note, QStringLiteral("before the change"));
        QCOMPARE(window->setsModel()->rowCount(), 2);
        QCOMPARE(prompts.shown.size(), 0);
    }

    void aBackupCanBeCancelled()
    {
        QVERIFY(start());
        window->findChild<QPushButton *>(QStringLiteral("backupAllButton"))->click();
        QVERIFY(window->busy());
        QVERIFY(sim->waitForRequests(sim->requests().size() + 2, kDeadlineMs));
        window->findChild<QPushButton *>(QStringLiteral("cancelButton"))->click();
        QVERIFY(idle());
        QCOMPARE(window->statusText(), kSetsBackupCancelled.text(1).arg(store->sets().size()));
        QVERIFY(store->sets().size() < 3);
        QCOMPARE(window->setsModel()->rowCount(), store->sets().size());
    }

    void aBackupIsRefusedWhileTheLineIsWatched()
    {
        QVERIFY(start());
        watched = true;
        QVERIFY(!window->backup({3}));
        QCOMPARE(prompts.lastText(), QStringLiteral("watched"));
        QVERIFY(store->sets().isEmpty());
    }

    void aSetRoundTripsThroughItsFiles()
    {
        QVERIFY(start());
        QVERIFY(backUp({4}));
        const ParameterSet original = newestOf(4);
        window->selectSet(original.id);
        const QString json = home->filePath(QStringLiteral("set.json"));
        const QString csv = home->filePath(QStringLiteral("set.csv"));
        QVERIFY(window->exportTo(json, false));
        QVERIFY(window->exportTo(csv, true));
        QFile csvFile(csv);
        QVERIFY(csvFile.open(QIODevice::ReadOnly));
        QCOMPARE(csvFile.readAll(), SetFile::toCsv(original));

        QVERIFY(window->importFrom(json));
        QCOMPARE(store->sets().size(), 2);
        ParameterSet imported = *window->selectedSet();
        QVERIFY(imported.id != original.id);
        QCOMPARE(imported.address, original.address);
        QCOMPARE(imported.meterType, original.meterType);
        QCOMPARE(imported.meterTypeName, original.meterTypeName);
        QCOMPARE(imported.taken.toSecsSinceEpoch(), original.taken.toSecsSinceEpoch());
        QCOMPARE(imported.note, original.note);
        QCOMPARE(imported.parameters, original.parameters);
        QCOMPARE(window->setsModel()->rowCount(), 2);
    }

    void aTamperedFileIsRefusedAndNothingStored()
    {
        QVERIFY(start());
        QVERIFY(backUp({4}));
        QJsonObject json = QJsonDocument::fromJson(SetFile::toJson(newestOf(4))).object();
        QJsonArray parameters = json.value("parameters").toArray();
        QJsonObject p = parameters[1].toObject();
        p.insert("register", 7);
        parameters[1] = p;
        json.insert("parameters", parameters);
        const QByteArray bytes = QJsonDocument(json).toJson();
        const QString path = home->filePath(QStringLiteral("tampered.json"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();

        SetFile::ImportError error;
        QVERIFY(!SetFile::fromJson(bytes, menus, error));
        QCOMPARE(error.what, SetFile::ImportError::What::RegisterMismatch);
        const QString expected = SetMessages::importText(error, QStringLiteral("tampered.json"), 1);

        QVERIFY(!window->importFrom(path));
        QCOMPARE(prompts.count(RecordingPrompts::Kind::Error), 1);
        QCOMPARE(prompts.lastText(), expected);
        QCOMPARE(window->statusText(), expected);
        QCOMPARE(store->sets().size(), 1);
        QCOMPARE(window->setsModel()->rowCount(), 1);

        // Not JSON at all, and no file: the same, nothing stored.
        QFile garbage(path);
        QVERIFY(garbage.open(QIODevice::WriteOnly | QIODevice::Truncate));
        garbage.write("{\"format\":");
        garbage.close();
        QVERIFY(!window->importFrom(path));
        QVERIFY(prompts.lastText().contains(QStringLiteral("is not a valid JSON file")));
        QVERIFY(!window->importFrom(home->filePath(QStringLiteral("missing.json"))));
        QCOMPARE(store->sets().size(), 1);
    }

    void aComparisonMarksTheDifferingRows()
    {
        QVERIFY(start());
        QVERIFY(backUp({3}));
        const qint64 backupId = newestOf(3).id;
        qint64 id = 0;
        QVERIFY(importChanged(newestOf(3), {{2, 777}, {5, -5}}, id));
        window->selectSet(id);
        QVERIFY(window->compareWith(3));
        QVERIFY(idle());
        QCOMPARE(window->differenceCount(), 2);
        const QStandardItemModel *model = window->compareModel();
        QCOMPARE(model->rowCount(), kCount);
        for (int row = 0; row < kCount; ++row) {
            const bool differs = row == 2 || row == 5;
            const QStandardItem *marker = model->item(row, ParameterSetsWindow::CompareMarker);
            QCOMPARE(marker->text(), differs ? QStringLiteral("≠") : QString());
            QCOMPARE(marker->data(Qt::AccessibleTextRole).toString(),
                     differs ? QStringLiteral("differs") : QStringLiteral("same"));
            QCOMPARE(model->item(row, ParameterSetsWindow::CompareCaption)
                         ->data(Qt::AccessibleDescriptionRole)
                         .toString(),
                     differs ? QStringLiteral("differs") : QStringLiteral("same"));
            QCOMPARE(model->item(row, 0)->background().style() != Qt::NoBrush, differs);
        }
        QCOMPARE(model->item(2, ParameterSetsWindow::CompareSet)->text(), QStringLiteral("77.7"));
        QCOMPARE(model->item(2, ParameterSetsWindow::CompareMeter)->text(), QStringLiteral("30.2"));
        const QString summary = kSetsCompareResult.text(1).arg(id).arg(3).arg(2);
        QCOMPARE(window->findChild<QLabel *>(QStringLiteral("compareSummary"))->text(), summary);
        QCOMPARE(window->statusText(), summary);

        // Another meter: every parameter differs.
        QVERIFY(window->compareWith(4));
        QVERIFY(idle());
        QCOMPARE(window->differenceCount(), kCount);

        // Two stored sets, without the line: the meter's backup and the
        // changed one, offered in the same list as the meters.
        auto *choices = window->findChild<QComboBox *>(QStringLiteral("compareMeter"));
        QVERIFY(choices->findData(-backupId) >= 0);
        QVERIFY(window->compareWithSet(backupId));
        QCOMPARE(choices->currentData().toLongLong(), -backupId);
        QCOMPARE(window->differenceCount(), 2);
        QCOMPARE(model->item(5, ParameterSetsWindow::CompareMarker)->text(), QStringLiteral("≠"));
        QCOMPARE(model->headerData(ParameterSetsWindow::CompareMeter, Qt::Horizontal).toString(),
                 QStringLiteral("Value in the other set"));
        QCOMPARE(window->statusText(), kSetsCompareSets.text(1).arg(id).arg(backupId).arg(2));
        QVERIFY(!window->busy());
    }

    void aRestoreToALockedMeterIsRefusedAndLogged()
    {
        QVERIFY(start({"--read-only", "4"}));
        QVERIFY(backUp({4}));
        qint64 id = 0;
        QVERIFY(importChanged(newestOf(4), {{3, 1234}}, id));
        window->selectSet(id);
        prompts.clear();
        QVERIFY(window->restoreSelected());
        QCOMPARE(prompts.count(RecordingPrompts::Kind::Question), 1);
        QVERIFY(idle());

        JobOutcome outcome = JobOutcome::of(JobOutcome::End::Refused, 4, 3);
        outcome.exceptionCode = 4;
        outcome.written = 1234;
        const QString expected = SetMessages::outcomeText(outcome, *store->set(id), 1);
        QCOMPARE(window->statusText(), expected);
        // The box opens once the job's handler has returned.
        QTRY_COMPARE_WITH_TIMEOUT(prompts.count(RecordingPrompts::Kind::Error), 1, kDeadlineMs);
        QCOMPARE(prompts.lastText(), expected);

        const QStandardItemModel *log = window->logModel();
        QCOMPARE(log->rowCount(), 1);
        QCOMPARE(log->item(0, 1)->text(), QStringLiteral("4"));
        QCOMPARE(log->item(0, 2)->text(), QStringLiteral("3"));
        QCOMPARE(log->item(0, 4)->text(), QStringLiteral("1234"));
        QVERIFY(log->item(0, 5)->text().startsWith(QStringLiteral("refused")));
        window->filterLog(3);
        QCOMPARE(log->rowCount(), 0);
        window->filterLog(std::nullopt);
        QCOMPARE(log->rowCount(), 1);
        const QString csv = home->filePath(QStringLiteral("log.csv"));
        QVERIFY(window->exportLogTo(csv));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), SetStore::writeLogCsv(store->writeLog()));
    }

    void aRestoreNeedsConsent()
    {
        QVERIFY(start());
        QVERIFY(backUp({3}));
        qint64 id = 0;
        QVERIFY(importChanged(newestOf(3), {{3, 1234}}, id));
        prompts.answer = false;
        const qsizetype from = sim->requests().size();
        QVERIFY(!window->restoreSelected());
        QVERIFY(!window->busy());
        QVERIFY(writesSince(from).isEmpty());
        QVERIFY(store->writeLog().isEmpty());
    }

    void aCopyLeavesTheUntickedRowsAlone()
    {
        QVERIFY(start());
        QVERIFY(backUp({3}));
        window->selectSet(newestOf(3).id);
        window->setCopyTargets({4, 5});
        QVERIFY(window->previewCopy());
        QVERIFY(idle());
        QStandardItemModel *preview = window->previewModel();
        QCOMPARE(preview->rowCount(), 2 * kCount);
        for (int row = 0; row < preview->rowCount(); ++row) {
            const int k = preview->item(row, 0)->data(ParameterSetsWindow::KRole).toInt();
            QCOMPARE(preview->item(row, 0)->checkState(), k <= 1 ? Qt::Unchecked : Qt::Checked);
        }
        // The operator also unticks parameter 4 of meter 5.
        for (int row = 0; row < preview->rowCount(); ++row) {
            QStandardItem *tick = preview->item(row, 0);
            if (tick->data(ParameterSetsWindow::AddressRole).toInt() == 5 &&
                tick->data(ParameterSetsWindow::KRole).toInt() == 4)
                tick->setCheckState(Qt::Unchecked);
        }
        const qsizetype from = sim->requests().size();
        QVERIFY(window->copyTicked());
        QVERIFY(idle());
        QCOMPARE(window->statusText(), kSetsCopyDone.text(1).arg(7).arg(2));
        const QList<QPair<int, int>> expected{{4, 4}, {4, 6}, {4, 8}, {4, 10}, {5, 4}, {5, 6}, {5, 10}};
        QCOMPARE(writesSince(from), expected);
        QCOMPARE(store->writeLog().size(), 7);
        QCOMPARE(window->logModel()->rowCount(), 7);
    }

    void onlyTheLinkCaptionsAreUntickedByDefault_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("captionEN");
        QTest::addColumn<bool>("link");
        QTest::newRow("Chinese address") << "仪表地址"
                                         << "" << true;
        QTest::newRow("Chinese baud") << "波特率"
                                      << "" << true;
        QTest::newRow("English address") << ""
                                         << "ADDRESS" << true;
        QTest::newRow("English baud") << ""
                                      << "Baud" << true;
        QTest::newRow("other") << "量程"
                               << "Range" << false;
    }
    void onlyTheLinkCaptionsAreUntickedByDefault()
    {
        QFETCH(QString, caption);
        QFETCH(QString, captionEN);
        QFETCH(bool, link);
        SetParameter p;
        p.caption = caption;
        p.captionEN = captionEN;
        QCOMPARE(ParameterSetsWindow::isLinkParameter(p), link);
    }
};

QTEST_MAIN(TestSetsWindow)
#include "tst_setswindow.moc"
