#include "CMeterSetWizard.h"
#include "Language.h"
#include "MeterTypeCatalog.h"
#include "RecordingPrompts.h"
#include "StoreFixtures.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using Values = MeterConfiguration::Values;
Q_DECLARE_METATYPE(Values)

class TestMeterSetWizard : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    RecordingPrompts prompts;
    Language lang{1};
    std::unique_ptr<MeterTypeCatalog> catalog;
    std::unique_ptr<CMeterSetWizard> wizard;

    template <typename T> T *find(const char *name) const
    {
        return wizard->findChild<T *>(QLatin1String(name));
    }
    QComboBox *list(const char *name) const { return find<QComboBox>(name); }
    QStringList entries(const char *name) const
    {
        QStringList texts;
        for (int i = 0; i < list(name)->count(); ++i)
            texts << list(name)->itemText(i);
        return texts;
    }
    // Chooses an entry as the operator does, which runs the list's rule.
    void choose(const char *name, const QString &text)
    {
        QComboBox *box = list(name);
        const int index = box->findText(text);
        QVERIFY(index >= 0);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    QString count() const { return find<QLineEdit>("meterCount")->text(); }
    void open(const Values &preset)
    {
        wizard = std::make_unique<CMeterSetWizard>(*catalog, lang, prompts);
        wizard->preset(preset);
        wizard->show();
    }
    void next() { wizard->button(QWizard::NextButton)->click(); }
    void finish() { wizard->button(QWizard::FinishButton)->click(); }

private slots:
    void initTestCase()
    {
        const QString path = dir.filePath(QStringLiteral("qlvmsys.db"));
        StoreFixtures::sql(path,
                           {QStringLiteral("CREATE TABLE METERTYPE (ID INTEGER PRIMARY KEY, METERTYPE TEXT, "
                                           "ISACTIVE INTEGER, CHANNELS INTEGER, MENUAMOUNT INTEGER)"),
                            QStringLiteral("INSERT INTO METERTYPE VALUES (1, 'TX-101', 1, 1, 10)"),
                            QStringLiteral("INSERT INTO METERTYPE VALUES (2, 'TX-202', 0, 2, 10)"),
                            QStringLiteral("INSERT INTO METERTYPE VALUES (4, 'TX-404', 1, 4, 10)"),
                            QStringLiteral("INSERT INTO METERTYPE VALUES (51, 'TX-951', 1, 9, 10)")});
        catalog = std::make_unique<MeterTypeCatalog>(prompts, dir.path(), 1);
        QCOMPARE(catalog->types().size(), 4);
    }
    void cleanup()
    {
        wizard.reset();
        prompts.clear();
    }

    void first_page_lists_types_channels_and_sampling_times()
    {
        open({4, 3, 300, 1, 7, 7, 1});
        QCOMPARE(entries("meterTypeList"), (QStringList{"TX-101", "Unsupported Type", "", "TX-404"}));
        QCOMPARE(list("meterTypeList")->currentText(), QStringLiteral("TX-404"));
        QCOMPARE(entries("channelList"), (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(list("channelList")->currentIndex(), 2);
        QCOMPARE(list("samplingList")->count(), 9);
        QCOMPARE(list("samplingList")->currentIndex(), 1);
        // Type and channels are shown as configured, not chosen here.
        QVERIFY(!list("meterTypeList")->isEnabled());
        QVERIFY(!list("channelList")->isEnabled());
        QVERIFY(!wizard->button(QWizard::BackButton)->isVisible());
        QVERIFY(!wizard->button(QWizard::FinishButton)->isVisible());
        QCOMPARE(wizard->button(QWizard::NextButton)->text(), QStringLiteral("&Next>"));

        find<QPushButton>("resetButton")->click();
        QCOMPARE(list("samplingList")->currentText(), QStringLiteral("200"));
        QCOMPARE(list("channelList")->currentText(), QStringLiteral("1"));
        next();
        finish();
        QCOMPARE(wizard->result(), int(QDialog::Accepted));
        QCOMPARE(wizard->values(), (Values{4, 1, 200, 1, 7, 7, 1}));
    }

    void presets_without_an_entry_are_written_back_unchanged_data()
    {
        QTest::addColumn<Values>("preset");
        QTest::addColumn<int>("typeIndex");
        QTest::addColumn<int>("channelIndex");
        QTest::addColumn<int>("samplingIndex");
        // A missing settings file: type 0, sampling time 0.
        QTest::newRow("missing settings: type 0, sampling 0") << Values{0, 0, 0, 1, 3, 3, 1} << -1 << -1 << -1;
        // Type 4 is the highest supplied one.
        QTest::newRow("type above the supplied ones") << Values{9, 2, 500, 1, 3, 3, 1} << -1 << -1 << 3;
        QTest::newRow("channels above the type's") << Values{4, 12, 300, 1, 3, 3, 1} << 3 << -1 << 1;
    }

    void presets_without_an_entry_are_written_back_unchanged()
    {
        QFETCH(Values, preset);
        QFETCH(int, typeIndex);
        QFETCH(int, channelIndex);
        QFETCH(int, samplingIndex);
        open(preset);
        QCOMPARE(list("meterTypeList")->currentIndex(), typeIndex);
        QCOMPARE(list("channelList")->currentIndex(), channelIndex);
        QCOMPARE(list("samplingList")->currentIndex(), samplingIndex);
        next();
        finish();
        QCOMPARE(wizard->result(), int(QDialog::Accepted));
        QCOMPARE(wizard->values(), preset);
    }

    void an_unreadable_system_database_keeps_the_type()
    {
        const QTemporaryDir noDatabase;
        const MeterTypeCatalog empty(prompts, noDatabase.path(), 1);
        wizard = std::make_unique<CMeterSetWizard>(empty, lang, prompts);
        const Values preset{3, 2, 400, 1, 5, 5, 1};
        wizard->preset(preset);
        wizard->show();
        QCOMPARE(list("meterTypeList")->currentIndex(), -1);
        next();
        finish();
        QCOMPARE(wizard->values(), preset);
    }

    void ranges_keep_two_meters_and_the_changed_end_wins_data()
    {
        QTest::addColumn<Values>("preset");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("count");
        const Values tenToTwenty{1, 1, 300, 2, 10, 20, 11};
        QTest::newRow("10..20") << tenToTwenty << "firstAddressList"
                                << "10"
                                << "10"
                                << "20"
                                << "11";
        QTest::newRow("first 25 while last 20") << tenToTwenty << "firstAddressList"
                                                << "25"
                                                << "19"
                                                << "20"
                                                << "2";
        QTest::newRow("last 5 while first 19") << Values{1, 1, 300, 2, 19, 30, 12} << "lastAddressList"
                                               << "5"
                                               << "19"
                                               << "20"
                                               << "2";
        QTest::newRow("first at the last address 0") << Values{1, 1, 300, 2, 5, 0, 2} << "firstAddressList"
                                                     << "5"
                                                     << "0"
                                                     << "1"
                                                     << "2";
    }
    void ranges_keep_two_meters_and_the_changed_end_wins()
    {
        QFETCH(Values, preset);
        QFETCH(QString, list);
        QFETCH(QString, chosen);
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(QString, count);
        open(preset);
        next();
        QVERIFY(find<QRadioButton>("multi")->isChecked());
        QVERIFY(!this->list("addressList")->isEnabled());
        choose(qPrintable(list), chosen);
        QCOMPARE(this->list("firstAddressList")->currentText(), first);
        QCOMPARE(this->list("lastAddressList")->currentText(), last);
        QCOMPARE(this->count(), count);
        finish();
        QCOMPARE(wizard->result(), int(QDialog::Accepted));
        const Values v = wizard->values();
        QCOMPARE(v.singleormulti, 2);
        QCOMPARE(v.startaddress, first.toInt());
        QCOMPARE(v.endaddress, last.toInt());
        QCOMPARE(v.meteramount, count.toInt());
    }

    void single_meter_finishes_as_a_range_of_one()
    {
        open({1, 1, 500, 2, 3, 9, 7});
        next();
        QCOMPARE(count(), QStringLiteral("7"));
        find<QRadioButton>("single")->click();
        QVERIFY(!list("firstAddressList")->isEnabled());
        QCOMPARE(count(), QStringLiteral("1"));
        choose("addressList", QStringLiteral("7"));
        QCOMPARE(wizard->button(QWizard::FinishButton)->text(), QStringLiteral("Finish"));
        finish();
        QCOMPARE(wizard->values(), (Values{1, 1, 500, 1, 7, 7, 1}));

        // Back and on again keeps the pages as they were.
        open({1, 1, 500, 1, 3, 3, 1});
        next();
        choose("addressList", QStringLiteral("12"));
        wizard->back();
        next();
        QCOMPARE(list("addressList")->currentText(), QStringLiteral("12"));
    }

    void a_range_without_a_first_address_is_refused()
    {
        // The first list ends at 62; a hand-edited 63 has no entry.
        open({1, 1, 300, 2, 63, 63, 1});
        next();
        wizard->addressPage().firstAddress = 63;
        list("firstAddressList")->setCurrentIndex(-1);
        finish();
        QCOMPARE(prompts.count(RecordingPrompts::Kind::Error), 1);
        QCOMPARE(prompts.shown.last().text, QStringLiteral("首地址大于等于末地址。\n请修改地址。"));
        QCOMPARE(prompts.shown.last().caption, QStringLiteral("地址范围错误"));
        QVERIFY(wizard->isVisible());
    }
};

QTEST_MAIN(TestMeterSetWizard)
#include "tst_metersetwizard.moc"
