#include "FrameCommands.h"

#include "AlarmTexts.h"
#include "AppTexts.h"
#include "CommandIds.h"
#include "PortDoctorTexts.h"
#include "ToolbarIcons.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolBar>

namespace {

using namespace CommandId;

struct ToolButton {
    int id;
    const BiText *tip;
    ToolbarIcons::Kind icon;
};

// Toolbar 131: Exit | comm settings | meter settings, meter manager, meter
// panel | real-time chart. Id 0 is a separator.
const QList<ToolButton> kToolButtons{
    {Exit, &kTipExit, ToolbarIcons::Kind::Exit},
    {0, nullptr, ToolbarIcons::Kind::Exit},
    {CommConfig, &kTipCommConfig, ToolbarIcons::Kind::CommConfig},
    {0, nullptr, ToolbarIcons::Kind::Exit},
    {MeterConfig, &kTipMeterConfig, ToolbarIcons::Kind::MeterConfig},
    {MeterManager, &kTipMeterManager, ToolbarIcons::Kind::MeterManager},
    {MeterInterface, &kTipMeterInterface, ToolbarIcons::Kind::MeterInterface},
    {0, nullptr, ToolbarIcons::Kind::Exit},
    {RealtimeChart, &kTipRealtimeChart, ToolbarIcons::Kind::RealtimeChart},
};

// Accelerator table 130: plain function keys, whichever menu is attached.
const QList<std::pair<Qt::Key, int>> kAccelerators{
    {Qt::Key_F1, CommandId::HelpManual},
    {Qt::Key_F2, MeterInterface},
    {Qt::Key_F3, CommConfig},
    {Qt::Key_F4, MeterConfig},
    {Qt::Key_F5, RealtimeChart},
    {Qt::Key_F6, ChartRange},
    {Qt::Key_F7, English},
    {Qt::Key_F8, Chinese},
    {Qt::Key_F11, SetBkColor},
    {Qt::Key_F12, DataBackup},
};

// Menu 130. Menu 131 is the same without data backup; each marks its own
// language as checked.
QList<FrameCommands::MenuSpec> chineseMenuSpec()
{
    return {
        {&kMenuSystem,
         {{CommConfig, &kMenuCommConfig},
          {MeterConfig, &kMenuMeterConfig},
          {0, nullptr},
          {SetBkColor, &kMenuSetBkColor},
          {0, nullptr},
          {DataBackup, &kMenuDataBackup},
          {0, nullptr},
          {Exit, &kMenuExit}}},
        {&kMenuTools,
         {{MeterManager, &kMenuMeterManager},
          {0, nullptr},
          {MeterInterface, &kMenuMeterInterface},
          {0, nullptr},
          {RealtimeChart, &kMenuRealtimeChart},
          {HistoryChart, &kMenuHistoryChart},
          {ChartRange, &kMenuChartRange},
          {0, nullptr},
          {LineStatistics, &kMenuLineStatistics},
          {TrafficMonitor, &kMenuTrafficMonitor},
          {0, nullptr},
          {ScanLine, &kMenuScanLine},
          {Alarms, &kMenuAlarms},
          {EditAlarmLimits, &kMenuAlarmLimits}}},
        {&kMenuView, {{ViewToolbar, &kMenuToolbar}, {ViewStatusBar, &kMenuStatusBar}}},
        {&kMenuLanguage, {{Chinese, &kMenuChinese}, {English, &kMenuEnglish}}},
        {&kMenuHelp,
         {{About, &kMenuAbout}, {CommandId::HelpManual, &kMenuManual}, {PortCheck, &kMenuPortCheck}}},
    };
}

QList<FrameCommands::MenuSpec> englishMenuSpec()
{
    QList<FrameCommands::MenuSpec> specs = chineseMenuSpec();
    for (FrameCommands::MenuSpec &spec : specs) {
        QList<FrameCommands::Item> kept;
        for (const FrameCommands::Item &item : spec.items) {
            const bool twoSeparators = item.id == 0 && !kept.isEmpty() && kept.last().id == 0;
            if (item.id != DataBackup && !twoSeparators)
                kept.append(item);
        }
        spec.items = kept;
    }
    return specs;
}

} // namespace

FrameCommands::FrameCommands(QMainWindow *mainWindow) : QObject(mainWindow), window(mainWindow)
{
    chineseMenus = buildMenus(ResourceId::ChineseMenu, 0, chineseMenuSpec());
    englishMenus = buildMenus(ResourceId::EnglishMenu, 1, englishMenuSpec());
    buildToolbar();
    buildAccelerators();
}

QList<QMenu *> FrameCommands::buildMenus(int resourceId, int language, const QList<MenuSpec> &specs)
{
    QList<QMenu *> built;
    for (const MenuSpec &spec : specs) {
        auto *menu = new QMenu(spec.title->text(language), window);
        menu->setObjectName(QStringLiteral("menu%1_%2").arg(resourceId).arg(built.size()));
        for (const Item &item : spec.items) {
            QAction *action = addItem(menu, item, language);
            const bool ownLanguage =
                (item.id == Chinese && language == 0) || (item.id == English && language == 1);
            if (action && (item.id == Chinese || item.id == English)) {
                // Each menu shows its own language checked, whatever is clicked.
                action->setCheckable(true);
                action->setChecked(ownLanguage);
                connect(action, &QAction::toggled, action, [action, ownLanguage] {
                    const QSignalBlocker block(action);
                    action->setChecked(ownLanguage);
                });
            }
            if (action && (item.id == ViewToolbar || item.id == ViewStatusBar))
                action->setCheckable(true);
        }
        connect(menu, &QMenu::aboutToShow, this, &FrameCommands::updateViewChecks);
        built.append(menu);
    }
    return built;
}

QAction *FrameCommands::addItem(QMenu *menu, const Item &item, int language)
{
    if (item.id == 0) {
        menu->addSeparator();
        return nullptr;
    }
    QAction *action = menu->addAction(item.text->text(language));
    action->setData(item.id);
    action->setObjectName(QStringLiteral("cmd%1").arg(item.id));
    connect(action, &QAction::triggered, this, [this, id = item.id] { emit command(id); });
    return action;
}

void FrameCommands::buildToolbar()
{
    tools = new QToolBar(window);
    tools->setObjectName(QStringLiteral("toolbar"));
    tools->setMovable(true);
    tools->setFloatable(true);
    tools->setAllowedAreas(Qt::AllToolBarAreas);
    tools->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (const ToolButton &button : kToolButtons) {
        if (button.id == 0) {
            tools->addSeparator();
            continue;
        }
        QAction *action = tools->addAction(ToolbarIcons::icon(button.icon), QString());
        action->setData(button.id);
        action->setObjectName(QStringLiteral("cmd%1").arg(button.id));
        connect(action, &QAction::triggered, this, [this, id = button.id] { emit command(id); });
    }
    window->addToolBar(Qt::TopToolBarArea, tools);
}

void FrameCommands::setToolbarTexts(int language)
{
    tools->setWindowTitle(kToolbarTitle.text(language));
    const QList<QAction *> actions = tools->actions();
    for (QAction *action : actions) {
        for (const ToolButton &button : kToolButtons) {
            if (button.id != 0 && action->data().toInt() == button.id) {
                action->setText(button.tip->text(language));
                action->setToolTip(button.tip->text(language));
                action->setStatusTip(button.tip->text(language));
            }
        }
    }
}

void FrameCommands::buildAccelerators()
{
    for (const auto &[key, id] : kAccelerators) {
        auto *shortcut = new QShortcut(QKeySequence(key), window);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setObjectName(QStringLiteral("accel%1").arg(QKeySequence(key).toString()));
        connect(shortcut, &QShortcut::activated, this, [this, id = id] { emit command(id); });
    }
}

void FrameCommands::attachMenu(int language)
{
    const bool english = language == 1;
    attached = english ? ResourceId::EnglishMenu : ResourceId::ChineseMenu;
    QMenuBar *bar = window->menuBar();
    // clear() drops the menus' own actions from the bar without deleting them:
    // they belong to the menus, which the window keeps.
    bar->clear();
    for (QMenu *menu : english ? englishMenus : chineseMenus)
        bar->addMenu(menu);
}

QList<QMenu *> FrameCommands::menus(int resourceId) const
{
    return resourceId == ResourceId::EnglishMenu ? englishMenus : chineseMenus;
}

void FrameCommands::updateViewChecks()
{
    for (const QList<QMenu *> &set : {chineseMenus, englishMenus}) {
        for (QMenu *menu : set) {
            if (auto *toolbarItem = menu->findChild<QAction *>(QStringLiteral("cmd%1").arg(ViewToolbar)))
                toolbarItem->setChecked(tools->isVisible());
            if (auto *statusItem = menu->findChild<QAction *>(QStringLiteral("cmd%1").arg(ViewStatusBar)))
                statusItem->setChecked(window->statusBar()->isVisible());
        }
    }
}
