#include "FrameTestSupport.h"

#include "AlarmsWindow.h"
#include "CQuorvaneView.h"
#include "CommandIds.h"
#include "FrameCommands.h"
#include "HelpManual.h"
#include "LineTimers.h"

#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QToolBar>

namespace {

// One line per top-level menu: its title, then each item as "text=id",
// "[x]" after a checked item, "-" for a separator.
QStringList describe(const QList<QMenu *> &menus)
{
    QStringList lines;
    for (QMenu *menu : menus) {
        QStringList parts{menu->title()};
        for (QAction *item : menu->actions()) {
            if (item->isSeparator())
                parts << QStringLiteral("-");
            else
                parts << item->text() + QLatin1Char('=') + item->data().toString() +
                             (item->isChecked() ? QStringLiteral("[x]") : QString());
        }
        lines << parts.join(QLatin1Char('|'));
    }
    return lines;
}

QStringList attachedMenuBar(CMainFrame *frame)
{
    QList<QMenu *> menus;
    for (QAction *action : frame->menuBar()->actions())
        menus << action->menu();
    return describe(menus);
}

const QStringList kChineseMenu{
    "系统(&S)|通讯端口设置(&C)=32771|仪表设置(&M)=32772|-|改变背景颜色(&S)=32781|-|数据备份(B)=32793|-|"
    "退出系统(&X)=57665",
    "工具(&T)|管理仪表(&M)=32795|-|仪表面板(&I)=32791|-|实时曲线(&C)=32789|历史曲线(&H)=32801|图表的显示范围("
    "&R)=32796|-|通讯统计(&T)=32802|通讯监视(&F)=32803|-|扫描仪表(&N)=32804|报警(&A)=32807|报警限值(&L)…="
    "32806",
    "查看(&V)|工具栏(&T)=59392[x]|状态栏(&S)=59393[x]",
    "语言(&L)|简体中文(&C)=32800[x]|英语(&E)=32799",
    "帮助(&H)|关于&A)=57664|帮助手册(&M)=32794|端口检查(&P)=32805",
};

const QStringList kEnglishMenu{
    "&System|&Comm Config=32771|&Meter Config=32772|-|&SetBkColor=32781|-|&Exit=57665",
    "&Tools|&Meter Manager=32795|-|Meter &Interface=32791|-|Realtime &Chart=32789|&History Chart=32801|Chart "
    "&Range=32796|-|Line &Statistics=32802|&Traffic Monitor=32803|-|Sca&n the Line=32804|&Alarms=32807|Alarm "
    "&limits…=32806",
    "&View|&Toolbar=59392[x]|&Status Bar=59393[x]",
    "&Language|&Chinese=32800|&English=32799[x]",
    "&Help|&About=57664|&Manual=32794|&Port check=32805",
};

void showMenus(CMainFrame *frame)
{
    // The view items show the state of the bars when a menu opens.
    for (QAction *action : frame->menuBar()->actions())
        emit action->menu()->aboutToShow();
}

void makeActive(CMainFrame *frame)
{
    frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(frame));
}

} // namespace

class TestMainFrame : public QObject {
    Q_OBJECT

private slots:
    void init() { QDir::setCurrent(QCoreApplication::applicationDirPath()); }

    void menu_of_the_stored_language_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<int>("resource");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("Chinese: menu 130") << 0 << ResourceId::ChineseMenu << kChineseMenu;
        QTest::newRow("English: menu 131 without data backup and history chart")
            << 1 << ResourceId::EnglishMenu << kEnglishMenu;
        QTest::newRow("language 2: menu 130") << 2 << ResourceId::ChineseMenu << kChineseMenu;
    }
    void menu_of_the_stored_language()
    {
        QFETCH(int, lang);
        QFETCH(int, resource);
        QFETCH(QStringList, expected);
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QString::number(lang));
        CMainFrame *frame = fixture.start();
        QVERIFY(frame);
        showMenus(frame);
        QCOMPARE(frame->commands()->attachedMenu(), resource);
        QCOMPARE(attachedMenuBar(frame), expected);
        QCOMPARE(fixture.application->language().index(), lang);
    }

    void view_items_follow_the_bars()
    {
        FrameFixture fixture;
        CMainFrame *frame = fixture.start();
        fixture.menuItem(CommandId::ViewToolbar)->trigger();
        fixture.menuItem(CommandId::ViewStatusBar)->trigger();
        QVERIFY(!frame->findChild<QToolBar *>(QStringLiteral("toolbar"))->isVisible());
        QVERIFY(!frame->statusBar()->isVisible());
        showMenus(frame);
        QVERIFY(!fixture.menuItem(CommandId::ViewToolbar)->isChecked());
        QVERIFY(!fixture.menuItem(CommandId::ViewStatusBar)->isChecked());
        fixture.menuItem(CommandId::ViewToolbar)->trigger();
        QVERIFY(frame->findChild<QToolBar *>(QStringLiteral("toolbar"))->isVisible());
    }

    void toolbar_buttons_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QStringList>("tips");
        QTest::newRow("Chinese") << 0
                                 << QStringList{"退出系统", "|", "通讯端口设置", "|", "仪表设置", "管理仪表",
                                                "仪表面板", "|", "实时曲线"};
        QTest::newRow("English") << 1
                                 << QStringList{"Exit",
                                                "|",
                                                "Communication port settings",
                                                "|",
                                                "Meter configuration",
                                                "Meter manager",
                                                "Meter panel",
                                                "|",
                                                "Real-time chart"};
    }
    void toolbar_buttons()
    {
        QFETCH(int, lang);
        QFETCH(QStringList, tips);
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QString::number(lang));
        CMainFrame *frame = fixture.start();
        auto *toolbar = frame->findChild<QToolBar *>(QStringLiteral("toolbar"));
        QVERIFY(toolbar);
        QStringList shown;
        QList<int> ids;
        for (QAction *action : toolbar->actions()) {
            shown << (action->isSeparator() ? QStringLiteral("|") : action->toolTip());
            if (!action->isSeparator()) {
                ids << action->data().toInt();
                QVERIFY(!action->icon().pixmap(24, 24).isNull());
            }
        }
        QCOMPARE(shown, tips);
        QCOMPARE(ids, (QList<int>{57665, 32771, 32772, 32795, 32791, 32789}));
    }

    void accelerators_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("command");
        QTest::newRow("F1 manual") << int(Qt::Key_F1) << CommandId::HelpManual;
        QTest::newRow("F2 meter panel") << int(Qt::Key_F2) << CommandId::MeterInterface;
        QTest::newRow("F3 comm settings") << int(Qt::Key_F3) << CommandId::CommConfig;
        QTest::newRow("F4 meter settings") << int(Qt::Key_F4) << CommandId::MeterConfig;
        QTest::newRow("F5 real-time chart") << int(Qt::Key_F5) << CommandId::RealtimeChart;
        QTest::newRow("F6 chart range") << int(Qt::Key_F6) << CommandId::ChartRange;
        QTest::newRow("F7 English") << int(Qt::Key_F7) << CommandId::English;
        QTest::newRow("F8 Chinese") << int(Qt::Key_F8) << CommandId::Chinese;
        QTest::newRow("F11 background colour") << int(Qt::Key_F11) << CommandId::SetBkColor;
        QTest::newRow("F12 data backup") << int(Qt::Key_F12) << CommandId::DataBackup;
    }
    void accelerators()
    {
        QFETCH(int, key);
        QFETCH(int, command);
        FrameFixture fixture;
        CMainFrame *frame = fixture.start();
        makeActive(frame);
        QSignalSpy commands(frame->commands(), &FrameCommands::command);
        WhenModalShown cancel([](QDialog *dialog) { dialog->reject(); });
        QTest::keyClick(frame, Qt::Key(key));
        QCOMPARE(commands.count(), 1);
        QCOMPARE(commands.first().first().toInt(), command);
    }

    void accelerators_work_under_the_english_menu_too()
    {
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QStringLiteral("1"));
        CMainFrame *frame = fixture.start();
        makeActive(frame);
        QTest::keyClick(frame, Qt::Key_F12);
        QVERIFY(frame->parameterSets()); // data backup opens the parameter sets window
        QTest::keyClick(frame, Qt::Key_F8);
        QCOMPARE(frame->commands()->attachedMenu(), ResourceId::ChineseMenu);
    }

    void language_switch()
    {
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QStringLiteral("0"));
        CMainFrame *frame = fixture.start();
        QCOMPARE(frame->windowTitle(), QStringLiteral("Tarvex通讯"));
        QCOMPARE(frame->findChild<QLabel *>(QStringLiteral("messagePane"))->text(), QStringLiteral("就绪"));

        fixture.menuItem(CommandId::English)->trigger();
        QCOMPARE(frame->commands()->attachedMenu(), ResourceId::EnglishMenu);
        QCOMPARE(frame->language(), 1);
        QCOMPARE(fixture.application->language().index(), 1);
        QCOMPARE(frame->windowTitle(), QStringLiteral("Tarvex Communication"));
        QCOMPARE(frame->findChild<QLabel *>(QStringLiteral("messagePane"))->text(), QStringLiteral("Ready"));
        showMenus(frame);
        QCOMPARE(attachedMenuBar(frame), kEnglishMenu);

        // The language is stored at exit, not at the switch.
        QCOMPARE(fixture.settings().ReadInt(QStringLiteral("Programme"), QStringLiteral("Lang")), 0);
        fixture.application->ExitInstance();
        QCOMPARE(fixture.settings().ReadInt(QStringLiteral("Programme"), QStringLiteral("Lang")), 1);

        fixture.menuItem(CommandId::Chinese)->trigger();
        QCOMPARE(frame->commands()->attachedMenu(), ResourceId::ChineseMenu);
        showMenus(frame);
        QCOMPARE(attachedMenuBar(frame), kChineseMenu);
    }

    void language_that_cannot_be_stored_at_exit_is_reported_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Chinese") << 0 << "无法写入设置文件：\n%1"
                                 << "错误";
        QTest::newRow("English") << 1 << "Cannot write the settings file:\n%1"
                                 << "Error";
    }
    void language_that_cannot_be_stored_at_exit_is_reported()
    {
        QFETCH(int, lang);
        QFETCH(QString, text);
        QFETCH(QString, caption);
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QString::number(lang));
        QVERIFY(fixture.start());
        fixture.prompts.clear(); // the default port may not open here
        // A directory under the settings file's name cannot be read, even by
        // root, so the write is refused.
        QVERIFY(QFile::remove(fixture.settingsPath()));
        QVERIFY(QDir().mkdir(fixture.settingsPath()));
        fixture.application->ExitInstance();
        QCOMPARE(fixture.prompts.shown.size(), 1);
        QCOMPARE(fixture.prompts.shown.first().kind, RecordingPrompts::Kind::Error);
        QCOMPARE(fixture.prompts.shown.first().text,
                 text.arg(QDir::toNativeSeparators(fixture.settingsPath())));
        QCOMPARE(fixture.prompts.shown.first().caption, caption);
    }

    void switching_to_the_language_in_use_only_retitles()
    {
        FrameFixture fixture;
        CMainFrame *frame = fixture.start();
        const QList<QAction *> before = frame->menuBar()->actions();
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Name"), QStringLiteral("新的标题"));
        fixture.menuItem(CommandId::Chinese)->trigger();
        QCOMPARE(frame->menuBar()->actions(), before);
        QCOMPARE(frame->windowTitle(), QStringLiteral("新的标题"));
        QVERIFY(fixture.menuItem(CommandId::Chinese)->isChecked());
        QVERIFY(!fixture.menuItem(CommandId::English)->isChecked());
    }

    void language_switch_rewrites_the_background_colour()
    {
        FrameFixture fixture;
        fixture.set(QStringLiteral("SysConfig"), QStringLiteral("BkColor"), QStringLiteral("255abc"));
        CMainFrame *frame = fixture.start();
        QVERIFY(frame);
        QCOMPARE(fixture.settings().ReadSetting(QStringLiteral("SysConfig"), QStringLiteral("BkColor")),
                 QStringLiteral("255"));
        fixture.set(QStringLiteral("SysConfig"), QStringLiteral("BkColor"), QStringLiteral("77x"));
        fixture.menuItem(CommandId::English)->trigger();
        QCOMPARE(fixture.settings().ReadSetting(QStringLiteral("SysConfig"), QStringLiteral("BkColor")),
                 QStringLiteral("77"));
    }

    void title_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<bool>("namesPresent");
        QTest::addColumn<QString>("title");
        QTest::newRow("Chinese takes Name") << "0" << true << "甲乙仪表";
        QTest::newRow("English takes NameEN") << "1" << true << "Alpha Meters";
        QTest::newRow("language 2 has the fixed title") << "2" << true << "Tarvex通讯";
        QTest::newRow("missing Name reads Error") << "0" << false << "Error";
        QTest::newRow("missing Lang is Chinese") << "" << true << "甲乙仪表";
    }
    void title()
    {
        QFETCH(QString, lang);
        QFETCH(bool, namesPresent);
        QFETCH(QString, title);
        FrameFixture fixture;
        QByteArray text = "[Programme]\n";
        if (!lang.isEmpty())
            text += "Lang=" + lang.toUtf8() + "\n";
        if (namesPresent)
            text += "Name=甲乙仪表\nNameEN=Alpha Meters\n";
        QFile file(fixture.settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        file.close();
        CMainFrame *frame = fixture.start();
        QCOMPARE(frame->windowTitle(), title);
    }

    void minimum_size()
    {
        FrameFixture fixture;
        CMainFrame *frame = fixture.start();
        QVERIFY(frame->isMaximized());
        frame->showNormal();
        frame->resize(500, 300);
        QCOMPARE(frame->size(), QSize(720, 540));
        frame->resize(1000, 400);
        QCOMPARE(frame->size(), QSize(1000, 540));
    }

    // Opened once and brought up again, on the program's own alarms.
    void alarms_window_from_the_tools_menu()
    {
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QStringLiteral("1"));
        CMainFrame *frame = fixture.start();
        QVERIFY(!frame->alarmsWindow());
        fixture.menuItem(CommandId::Alarms)->trigger();
        AlarmsWindow *window = frame->alarmsWindow();
        QVERIFY(window);
        QTRY_VERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Alarms"));
        window->close();
        frame->onCommand(CommandId::Alarms);
        QCOMPARE(frame->alarmsWindow(), window);
        QTRY_VERIFY(window->isVisible());
    }

    void view_commands_stay_quiet()
    {
        FrameFixture fixture;
        CMainFrame *frame = fixture.start();
        fixture.prompts.clear();
        // The wizard, the colour chooser and the chart range open dialogs;
        // cancelled, they leave all as it was.
        QTimer cancel;
        QObject::connect(&cancel, &QTimer::timeout, [] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        cancel.start(20);
        for (int id : {32772, 32781, 32789, 32791, 32795, 32796})
            frame->onCommand(id);
        QVERIFY(fixture.prompts.shown.isEmpty());
        QVERIFY(frame->isVisible());
    }

    void help_manual_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<bool>("localCopy");
        QTest::addColumn<QString>("file");
        QTest::newRow("Chinese, HELP below the current directory") << 0 << true << "HELP/helpCS.html";
        QTest::newRow("English, HELP below the current directory") << 1 << true << "HELP/helpEN.html";
        QTest::newRow("language 2 takes the English manual") << 2 << true << "HELP/helpEN.html";
        QTest::newRow("Chinese, installed copy") << 0 << false << "HELP/helpCS.html";
        QTest::newRow("English, installed copy") << 1 << false << "HELP/helpEN.html";
    }
    void help_manual()
    {
        QFETCH(int, lang);
        QFETCH(bool, localCopy);
        QFETCH(QString, file);
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QString::number(lang));
        QTemporaryDir current;
        if (localCopy) {
            QVERIFY(QDir(current.path()).mkpath(QStringLiteral("HELP")));
            for (const char *name : {"HELP/helpCS.html", "HELP/helpEN.html"}) {
                QFile page(current.filePath(QString::fromLatin1(name)));
                QVERIFY(page.open(QIODevice::WriteOnly));
            }
        }
        QVERIFY(QDir::setCurrent(current.path()));
        CMainFrame *frame = fixture.start();
        frame->onCommand(CommandId::HelpManual);
        const QString base = localCopy ? current.path() : HelpManual::installedDirectory();
        QCOMPARE(fixture.opened, QList<QUrl>{QUrl::fromLocalFile(QDir(base).filePath(file))});
    }

    void port_that_cannot_be_opened_at_start_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("reason");
        QTest::newRow("Chinese") << 0 << "未能打开通讯端口。\n请重新设置。"
                                 << "错误"
                                 << "%1：设备不存在";
        QTest::newRow("English") << 1
                                 << "Fail to open the communication port.\n Please reset the it and retry."
                                 << "Error"
                                 << "%1: no such device";
    }
    void port_that_cannot_be_opened_at_start()
    {
        QFETCH(int, lang);
        QFETCH(QString, text);
        QFETCH(QString, caption);
        QFETCH(QString, reason);
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QString::number(lang));
        fixture.set(QStringLiteral("Ports"), QStringLiteral("COM1"),
                    fixture.home.filePath(QStringLiteral("no-such-tty")));
        CMainFrame *frame = fixture.start();
        QVERIFY(frame && frame->isVisible());
        QCOMPARE(fixture.prompts.shown.size(), 1);
        QCOMPARE(fixture.prompts.shown.first().kind, RecordingPrompts::Kind::Error);
        QCOMPARE(fixture.prompts.shown.first().text,
                 text + QLatin1Char('\n') + reason.arg(fixture.home.filePath(QStringLiteral("no-such-tty"))));
        QCOMPARE(fixture.prompts.shown.first().caption, caption);
        QVERIFY(!frame->line().timerActive(TimerId::PollTimer));
    }

    void data_directory_that_cannot_be_made_is_reported()
    {
        FrameFixture fixture;
        // A plain file where the directory should be.
        const QString blocked = fixture.home.filePath(QStringLiteral("file"));
        QFile file(blocked);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        qputenv("QUORVANE_HOME", (blocked + QStringLiteral("/home")).toUtf8());
        CMainFrame *frame = fixture.start();
        QVERIFY(frame && frame->isVisible());
        QVERIFY(fixture.prompts.shown.size() >= 1);
        const RecordingPrompts::Shown first = fixture.prompts.shown.first();
        QCOMPARE(first.kind, RecordingPrompts::Kind::Error);
        QCOMPARE(first.caption, QStringLiteral("错误"));
        for (const char *name : {"qlvmsys.dll", "qlvmsys.db", "qlvmdata.db"})
            QVERIFY2(first.text.contains(QLatin1String(name)), name);
    }

    void missing_port_number_cannot_be_opened()
    {
        FrameFixture fixture;
        QFile file(fixture.settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.close();
        CMainFrame *frame = fixture.start();
        QCOMPARE(frame->portSettings().portText, QStringLiteral("COMError"));
        QCOMPARE(fixture.prompts.count(RecordingPrompts::Kind::Error), 1);
        QCOMPARE(frame->windowTitle(), QStringLiteral("Error"));
    }

    void port_settings_refused_are_reported()
    {
        QuietTerminal terminal;
        QVERIFY(!terminal.path.isEmpty());
        FrameFixture fixture;
        fixture.set(QStringLiteral("Ports"), QStringLiteral("COM1"), terminal.path);
        fixture.set(QStringLiteral("CommConfig"), QStringLiteral("bytesize"), QStringLiteral("4"));
        CMainFrame *frame = fixture.start();
        QVERIFY(frame->line().isOpen());
        QCOMPARE(fixture.prompts.shown.size(), 1);
        QCOMPARE(fixture.prompts.shown.first().kind, RecordingPrompts::Kind::Error);
        QCOMPARE(fixture.prompts.shown.first().text, QStringLiteral("设置通讯端口参数失败！\n 请重新设置"));
        QVERIFY(!frame->line().timerActive(TimerId::PollTimer));
    }

    void port_opened_at_start_starts_polling()
    {
        QuietTerminal terminal;
        FrameFixture fixture;
        fixture.set(QStringLiteral("Ports"), QStringLiteral("COM1"), terminal.path);
        fixture.set(QStringLiteral("MeterConfig"), QStringLiteral("samplingtime"), QStringLiteral("500"));
        CMainFrame *frame = fixture.start();
        QVERIFY(fixture.prompts.shown.isEmpty());
        QVERIFY(frame->line().timerActive(TimerId::PollTimer));
        QCOMPARE(frame->line().timerPeriod(TimerId::PollTimer), 500);
        QVERIFY(terminal.path.endsWith(frame->line().devicePath()));
    }

    void status_bar_panes()
    {
        FrameFixture fixture;
        CMainFrame *frame = fixture.start();
        for (const char *name : {"messagePane", "capsIndicator", "numIndicator", "scrollIndicator"})
            QVERIFY2(frame->statusBar()->findChild<QLabel *>(QString::fromLatin1(name)), name);
        frame->setStatusText(QStringLiteral("2024-01-02;03:04:05\n通讯中断！"));
        QCOMPARE(frame->statusText(), QStringLiteral("2024-01-02;03:04:05\n通讯中断！"));
        QCOMPARE(frame->findChild<QLabel *>(QStringLiteral("messagePane"))->text(),
                 QStringLiteral("2024-01-02;03:04:05  通讯中断！"));

        // The line's texts, one per answer: the first at once, the newest
        // of a burst a moment later, none lost for statusText().
        const auto *pane = frame->findChild<QLabel *>(QStringLiteral("messagePane"));
        frame->showLineStatus(QStringLiteral("t\n01 #"));
        QCOMPARE(pane->text(), QStringLiteral("t  01 #"));
        frame->showLineStatus(QStringLiteral("t\n02 #"));
        frame->showLineStatus(QStringLiteral("t\n03 #"));
        QCOMPARE(frame->statusText(), QStringLiteral("t\n03 #"));
        QCOMPARE(pane->text(), QStringLiteral("t  01 #"));
        QTRY_COMPARE(pane->text(), QStringLiteral("t  03 #"));
    }

    void about_box_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Chinese") << 0 << "关于";
        QTest::newRow("English") << 1 << "About";
    }
    void about_box()
    {
        QFETCH(int, lang);
        QFETCH(QString, caption);
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QString::number(lang));
        CMainFrame *frame = fixture.start();
        QString seenCaption;
        QString line;
        WhenModalShown look([&](QDialog *dialog) {
            seenCaption = dialog->windowTitle();
            line = dialog->findChild<QLabel *>(QStringLiteral("static1123"))->text();
            QVERIFY(!dialog->findChild<QLabel *>(QStringLiteral("logo"))->pixmap().isNull());
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("ok1")), Qt::LeftButton);
        });
        frame->onCommand(CommandId::About);
        QCOMPARE(seenCaption, caption);
        QVERIFY(line.contains(QStringLiteral(QUORVANE_VERSION)));
    }

    void port_check_from_the_help_menu_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Chinese") << 0 << "端口检查";
        QTest::newRow("English") << 1 << "Port check";
    }
    void port_check_from_the_help_menu()
    {
        QFETCH(int, lang);
        QFETCH(QString, caption);
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QString::number(lang));
        fixture.start();
        QString seenCaption;
        WhenModalShown look([&](QDialog *dialog) {
            seenCaption = dialog->windowTitle();
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("close")), Qt::LeftButton);
        });
        fixture.menuItem(CommandId::PortCheck)->trigger();
        QCOMPARE(seenCaption, caption);
    }

    void exit_command_closes_the_window()
    {
        FrameFixture fixture;
        CMainFrame *frame = fixture.start();
        fixture.menuItem(CommandId::Exit)->trigger();
        QVERIFY(!frame->isVisible());
    }

    void program_reopens_on_the_surface_it_was_closed_on()
    {
        FrameFixture fixture;
        fixture.set(QStringLiteral("SysConfig"), QStringLiteral("Surface"), QStringLiteral("MeterPanel"));
        CMainFrame *frame = fixture.start();
        QCOMPARE(frame->view()->surface(), CQuorvaneView::Surface::MeterPanel);
        QVERIFY(frame->view()->panel(1) && frame->view()->panel(5));
        frame->onCommand(CommandId::RealtimeChart);
        fixture.menuItem(CommandId::Exit)->trigger();
        fixture.application->ExitInstance();
        QCOMPARE(fixture.settings().ReadSetting(QStringLiteral("SysConfig"), QStringLiteral("Surface")),
                 QStringLiteral("Chart"));
        fixture.application.reset();
        QCOMPARE(fixture.start()->view()->surface(), CQuorvaneView::Surface::MonitoringPanel);
    }

    void exit_request_ends_an_open_message_box()
    {
        FrameFixture fixture;
        CMainFrame *frame = fixture.start();
        WhenModalShown exit([&](QDialog *) { fixture.application->requestExit(); });
        frame->onCommand(CommandId::CommConfig);
        QVERIFY(!frame->isVisible());
    }
};

QTEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
