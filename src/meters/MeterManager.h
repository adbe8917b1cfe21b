#pragma once

#include "MeterRegister.h"
#include "MeterTypeCatalog.h"

#include <QWidget>

class Language;
class MeterRegisterModel;
class Prompts;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTreeWidget;
class QTreeWidgetItem;

// The register of installed meters as a child window over the main view: a
// tree of the meter types offered (under a root for all meters) and the list
// of the meters of the type selected in it, with commands to add a meter and
// to edit the selected one. The catalogue of types and the register are read
// when the manager is made. The list shows nothing until a tree item is
// selected or a meter has been added.
class MeterManager : public QWidget {
    Q_OBJECT

public:
    MeterManager(const Language &language, Prompts &prompts, QWidget *parent = nullptr);

    QTreeWidget *typeTree() const { return tree; }
    QTableView *meterList() const { return list; }
    MeterRegisterModel *model() const { return registerModel; }

    // Adds a meter at the next free address; once added, the list shows all
    // meters.
    void addMeter();
    // Edits the meter of the list's selected row; once stored, the list is
    // rebuilt for the tree item selected (all meters when none is).
    void editMeter();

signals:
    // The Back button hid the manager.
    void backRequested();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void fillTree();
    void retranslate();
    void listFor(const QTreeWidgetItem *item);
    void showRows(bool shown);
    QTreeWidgetItem *selectedTreeItem() const;
    void showRegisterMenu(const QPoint &globalPos);
    void goBack();

    const Language &language;
    Prompts &prompts;
    MeterTypeCatalog catalog;
    MeterRegister meters;

    MeterRegisterModel *registerModel = nullptr;
    // Between the model and the list: passes every row of the model, or none
    // while the list is to show nothing.
    QSortFilterProxyModel *shownRows = nullptr;
    QTreeWidget *tree = nullptr;
    QTableView *list = nullptr;
    QPushButton *backButton = nullptr;
};
