#include "Language.h"
#include "MeterIcons.h"
#include "MeterInfoDialog.h"
#include "MeterManager.h"
#include "MeterRegisterModel.h"
#include "RecordingPrompts.h"
#include "StoreFixtures.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

using namespace StoreFixtures;

class TestMeterManager : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    RecordingPrompts prompts;
    Language language{0};

    // A shown manager of 1000 x 600 on the test's files.
    std::unique_ptr<MeterManager> manager()
    {
        auto made = std::make_unique<MeterManager>(language, prompts);
        made->resize(1000, 600);
        made->show();
        return made;
    }
    // The addresses the list shows, top to bottom.
    static QStringList listed(const MeterManager &manager)
    {
        const QAbstractItemModel *rows = manager.meterList()->model();
        QStringList addresses;
        for (int row = 0; row < rows->rowCount(); ++row)
            addresses << rows->index(row, 0).data().toString();
        return addresses;
    }
    // The type's item, or the root for an empty name.
    static void select(const MeterManager &manager, const QString &type)
    {
        QTreeWidgetItem *item = manager.typeTree()->topLevelItem(0);
        for (int i = 0; i < item->childCount(); ++i)
            if (item->child(i)->text(0) == type)
                item = item->child(i);
        manager.typeTree()->setCurrentItem(item);
    }
    // Types the meter's installation position once the dialog shows and
    // confirms it.
    static void whenDialogShows(MeterManager &manager, const QString &position)
    {
        QTimer::singleShot(0, &manager, [&manager, position] {
            auto *dialog = manager.findChild<MeterInfoDialog *>(QStringLiteral("MeterInfoDialog"));
            QVERIFY(dialog && dialog->isVisible());
            dialog->findChild<QLineEdit *>(QStringLiteral("installPosition"))->setText(position);
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("confirmButton")),
                              Qt::LeftButton);
        });
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        qputenv("QUORVANE_HOME", dir->path().toUtf8());
        for (const QString name : {"qlvmdata.db", "qlvmsys.db"}) {
            QVERIFY(QFile::copy(builtDatabase(name), dir->filePath(name)));
            QFile::setPermissions(dir->filePath(name), QFile::ReadOwner | QFile::WriteOwner);
        }
        sql(dir->filePath(QStringLiteral("qlvmsys.db")),
            {"DELETE FROM METERTYPE WHERE ID > 3", "UPDATE METERTYPE SET ISACTIVE = 0 WHERE ID = 2"});
        sql(dir->filePath(QStringLiteral("qlvmdata.db")),
            QStringLiteral("INSERT INTO YbGL (ID, Yb_Id, Yb_Azwz, Yb_Type) VALUES (1, '0', 'a', 'TX-101'), "
                           "(2, '1', 'b', 'tx-304'), (3, '2', 'c', 'TX-101')"));
        prompts.clear();
        language.set(0);
    }

    void startsWithTreeAndEmptyList()
    {
        const auto made = manager();
        const QTreeWidget *tree = made->typeTree();
        QTreeWidgetItem *root = tree->topLevelItem(0);
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(root->text(0), QStringLiteral("所有仪表"));
        QCOMPARE(root->childCount(), 2);
        QCOMPARE(root->child(0)->text(0) + ',' + root->child(1)->text(0), QStringLiteral("TX-101,TX-304"));
        QVERIFY(!root->isExpanded());
        QVERIFY(tree->selectedItems().isEmpty());
        QVERIFY(listed(*made).isEmpty());
        QCOMPARE(tree->visualItemRect(root).height(), 25);
        const QIcon icon = root->icon(0);
        QCOMPARE(icon.pixmap(QSize(16, 16), 2.0, QIcon::Selected).toImage(),
                 MeterIcons::pixmap(MeterIcons::kSelected, 2.0).toImage());
        QVERIFY(icon.pixmap(QSize(16, 16), 2.0).toImage() !=
                MeterIcons::pixmap(MeterIcons::kSelected, 2.0).toImage());
        QCOMPARE(icon.pixmap(QSize(16, 16), 2.0).size(), QSize(32, 32));
    }

    void selectingListsItsMeters_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QStringList>("addresses");
        QTest::newRow("all meters") << "" << QStringList{"0", "1", "2"};
        QTest::newRow("a type") << "TX-101" << QStringList{"0", "2"};
        QTest::newRow("a type that differs in case") << "TX-304" << QStringList();
    }

    void selectingListsItsMeters()
    {
        QFETCH(QString, type);
        QFETCH(QStringList, addresses);
        const auto made = manager();
        select(*made, type);
        QCOMPARE(listed(*made), addresses);
    }

    void menuOnlyOverTheList_data()
    {
        QTest::addColumn<QString>("over");
        QTest::addColumn<int>("lang");
        QTest::addColumn<QStringList>("shown"); // object name:text of each entry
        QTest::newRow("list, Chinese")
            << "list" << 0 << QStringList{"addMeter:添加仪表", "editMeter:修改仪表"};
        QTest::newRow("list from the keyboard, English")
            << "keyboard" << 1 << QStringList{"addMeter:Add Meter", "editMeter:Edit Meter"};
        QTest::newRow("tree") << "tree" << 0 << QStringList();
    }

    // The language changes after the manager is made.
    void menuOnlyOverTheList()
    {
        QFETCH(QString, over);
        QFETCH(int, lang);
        QFETCH(QStringList, shown);
        const auto made = manager();
        language.set(lang);
        QTableView *list = made->meterList();
        QWidget *target = over == "tree" ? made->typeTree()->viewport() : list->viewport();
        const bool keyboard = over == "keyboard";
        if (keyboard)
            target = list;
        QStringList entries;
        QPoint at;
        QTimer::singleShot(0, made.get(), [&] {
            if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                for (const QAction *action : menu->actions())
                    entries << action->objectName() + ':' + action->text();
                at = menu->pos();
                menu->close();
            }
        });
        QContextMenuEvent request(keyboard ? QContextMenuEvent::Keyboard : QContextMenuEvent::Mouse,
                                  QPoint(30, 30), target->mapToGlobal(QPoint(30, 30)));
        QCoreApplication::sendEvent(target, &request);
        QTest::qWait(10);
        QCOMPARE(entries, shown);
        if (!shown.isEmpty())
            QCOMPARE(at, keyboard ? list->mapToGlobal(QPoint(5, 5)) : target->mapToGlobal(QPoint(30, 30)));
        QCOMPARE(made->model()->headerData(0, Qt::Horizontal).toString(),
                 QString(lang ? "Meter Address" : "仪表地址"));
    }

    void listAfterAddAndEdit()
    {
        const auto made = manager();
        QTableView *list = made->meterList();
        select(*made, QStringLiteral("TX-101"));
        whenDialogShows(*made, QStringLiteral("new"));
        made->addMeter();
        QCOMPARE(listed(*made), (QStringList{"0", "1", "2", "3"})); // all, whatever the tree selects

        // Edited from a double-click (the test library's is the second click
        // only), the list is rebuilt for the tree's item from the file.
        whenDialogShows(*made, QStringLiteral("edited"));
        const QPoint cell = list->visualRect(list->model()->index(2, 1)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell);
        QCOMPARE(listed(*made), (QStringList{"0", "2", "3"}));
        QCOMPARE(list->model()->index(1, 1).data().toString(), QStringLiteral("edited"));
        QCOMPARE(sql(dir->filePath(QStringLiteral("qlvmdata.db")),
                     QStringLiteral("SELECT Yb_Azwz FROM YbGL WHERE Yb_Id IN ('2', '3') ORDER BY ID")),
                 (QList<QStringList>{{"edited"}, {"new"}}));
    }

    void editWithoutSelectionTells()
    {
        const auto made = manager();
        select(*made, QString());
        made->editMeter();
        QCOMPARE(prompts.shown.size(), 1);
        QCOMPARE(prompts.lastText(), QStringLiteral("未选中仪表，或仪表数据为空，不能修改！"));
        QCOMPARE(prompts.shown[0].caption, QStringLiteral("Tarvex通讯"));
    }

    void layoutAndBack()
    {
        const auto made = manager();
        QCOMPARE(made->typeTree()->geometry(), QRect(8, 8, 200, 550));
        QCOMPARE(made->meterList()->geometry(), QRect(212, 8, 775, 550));
        QCOMPARE(made->meterList()->columnWidth(12), 80);
        auto *back = made->findChild<QPushButton *>(QStringLiteral("backButton"));
        QCOMPARE(back->geometry(), QRect(8, 570, 100, 25));
        QSignalSpy spy(made.get(), &MeterManager::backRequested);
        QTest::mouseClick(back, Qt::LeftButton);
        QCOMPARE(spy.size(), 1);
        QVERIFY(made->isHidden());
    }
};

QTEST_MAIN(TestMeterManager)
#include "tst_metermanager.moc"
