#pragma once

#include "BiText.h"

#include <QList>
#include <QObject>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

// The commands of the main window: the Chinese menu (130) and the English
// menu (131), of which one is attached to the menu bar at a time, the
// toolbar and the function-key accelerators. Every one of them reports its
// command id through command(); what a command does is the window's business.
//
// Menu items carry their id as data and are named "cmd<id>"; the top-level
// menus are named "menu<resource>_<position>".
class FrameCommands : public QObject {
    Q_OBJECT

public:
    // One item of a menu; id 0 is a separator.
    struct Item {
        int id;
        const BiText *text;
    };
    struct MenuSpec {
        const BiText *title;
        QList<Item> items;
    };

    explicit FrameCommands(QMainWindow *window);

    // Attaches menu 131 for language 1 and menu 130 for any other language.
    void attachMenu(int language);
    int attachedMenu() const { return attached; }
    QList<QMenu *> menus(int resourceId) const;

    QToolBar *toolbar() const { return tools; }
    void setToolbarTexts(int language);

signals:
    void command(int id);

private:
    QList<QMenu *> buildMenus(int resourceId, int language, const QList<MenuSpec> &specs);
    QAction *addItem(QMenu *menu, const Item &item, int language);
    void buildToolbar();
    void buildAccelerators();
    void updateViewChecks();

    QMainWindow *window;
    QList<QMenu *> chineseMenus;
    QList<QMenu *> englishMenus;
    QToolBar *tools = nullptr;
    int attached = 0;
};
