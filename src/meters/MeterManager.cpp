#include "MeterManager.h"

#include "DataDirectory.h"
#include "Language.h"
#include "MeterIcons.h"
#include "MeterInfoDialog.h"
#include "MeterRegisterModel.h"
#include "Prompts.h"
#include "RegisterTexts.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTreeWidget>

namespace {

const QColor kTreeBackground(255, 255, 100);
const QColor kTreeText(0, 0, 255);
constexpr int kTreeItemHeight = 25;
constexpr int kColumnWidth = 80;
// Where the menu opens when asked for from the keyboard: this far into the
// list from its top left corner.
const QPoint kKeyboardMenuOffset(5, 5);

} // namespace

MeterManager::MeterManager(const Language &language, Prompts &prompts, QWidget *parent)
    : QWidget(parent), language(language), prompts(prompts),
      catalog(prompts, DataDirectory::path(), language.index()),
      meters(prompts, DataDirectory::path(), language.index())
{
    setObjectName(QStringLiteral("meterManager"));
    // The manager covers the view it lies on; nothing of it shows through.
    setAutoFillBackground(true);
    // Only the list has a menu; a request anywhere else ends here instead of
    // reaching the view underneath.
    setContextMenuPolicy(Qt::PreventContextMenu);
    buildWindow();
    fillTree();
    retranslate();
    showRows(false);
    connect(&language, &Language::changed, this, &MeterManager::retranslate);
}

void MeterManager::buildWindow()
{
    tree = new QTreeWidget(this);
    tree->setObjectName(QStringLiteral("typeTree"));
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setIconSize(QSize(MeterIcons::kSize, MeterIcons::kSize));
    tree->setContextMenuPolicy(Qt::PreventContextMenu);
    QPalette colours = tree->palette();
    colours.setColor(QPalette::Base, kTreeBackground);
    colours.setColor(QPalette::Text, kTreeText);
    tree->setPalette(colours);
    connect(tree, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (const QTreeWidgetItem *item = selectedTreeItem())
            listFor(item);
    });

    registerModel = new MeterRegisterModel(meters, language.index(), this);
    shownRows = new QSortFilterProxyModel(this);
    shownRows->setSourceModel(registerModel);
    list = new QTableView(this);
    list->setObjectName(QStringLiteral("meterList"));
    list->setModel(shownRows);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setShowGrid(true);
    list->setSortingEnabled(false);
    list->verticalHeader()->hide();
    // The default size, not each column's, survives the model's resets.
    list->horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    list->horizontalHeader()->setSectionsClickable(false);
    connect(list, &QTableView::doubleClicked, this, &MeterManager::editMeter);
    // A mouse request for the menu arrives at the viewport, one from the
    // keyboard at the list itself.
    list->installEventFilter(this);
    list->viewport()->installEventFilter(this);

    backButton = new QPushButton(this);
    backButton->setObjectName(QStringLiteral("backButton"));
    connect(backButton, &QPushButton::clicked, this, &MeterManager::goBack);
}

// The root for all meters, with the types offered for meters below it in
// stored order; collapsed and with nothing selected.
void MeterManager::fillTree()
{
    const QIcon icon = MeterIcons::treeIcon(devicePixelRatioF());
    auto addItem = [&icon](QTreeWidgetItem *item, const QString &text) {
        item->setText(0, text);
        item->setIcon(0, icon);
        item->setSizeHint(0, QSize(0, kTreeItemHeight));
    };
    auto *root = new QTreeWidgetItem(tree);
    addItem(root, QString());
    for (const MeterType &type : catalog.activeTypes())
        addItem(new QTreeWidgetItem(root), type.name);
}

void MeterManager::retranslate()
{
    const int lang = language.index();
    tree->topLevelItem(0)->setText(0, kRegisterAllMeters.text(lang));
    tree->setAccessibleName(kRegisterTypeTree.text(lang));
    list->setAccessibleName(kRegisterMeterList.text(lang));
    registerModel->setLanguage(lang);
    backButton->setText(kRegisterBack.text(lang));
    backButton->setAccessibleName(backButton->text());
}

QTreeWidgetItem *MeterManager::selectedTreeItem() const
{
    const QList<QTreeWidgetItem *> selected = tree->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

// All meters for the root or no item, else the meters of the item's type.
void MeterManager::listFor(const QTreeWidgetItem *item)
{
    showRows(true);
    if (!item || item == tree->topLevelItem(0))
        registerModel->showAll();
    else
        registerModel->showType(item->text(0));
}

// The model always holds the rows of its filter; the proxy hides them all
// with a pattern no text matches, and passes them all with an empty one.
void MeterManager::showRows(bool shown)
{
    shownRows->setFilterRegularExpression(shown ? QRegularExpression()
                                                : QRegularExpression(QStringLiteral("(?!)")));
}

void MeterManager::addMeter()
{
    MeterInfoDialog dialog(MeterInfoDialog::Mode::Add, meters, catalog, language, prompts, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    meters.reload();
    showRows(true);
    registerModel->showAll();
}

void MeterManager::editMeter()
{
    const QModelIndexList rows = list->selectionModel()->selectedRows();
    const std::optional<MeterRecord> record =
        rows.isEmpty() ? std::nullopt : registerModel->recordAt(shownRows->mapToSource(rows.first()).row());
    if (!record) {
        const int lang = language.index();
        prompts.info(kRegisterNothingToEdit.text(lang), kStoreCaption.text(lang));
        return;
    }
    MeterInfoDialog dialog(MeterInfoDialog::Mode::Edit, meters, catalog, language, prompts, this);
    dialog.setAddressText(record->address);
    if (dialog.exec() != QDialog::Accepted)
        return;
    meters.reload();
    listFor(selectedTreeItem());
}

void MeterManager::showRegisterMenu(const QPoint &globalPos)
{
    const int lang = language.index();
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("registerMenu"));
    menu.setAccessibleName(kRegisterMenu.text(lang));
    QAction *add = menu.addAction(kRegisterAddMeter.text(lang));
    add->setObjectName(QStringLiteral("addMeter"));
    QAction *edit = menu.addAction(kRegisterEditMeter.text(lang));
    edit->setObjectName(QStringLiteral("editMeter"));
    const QAction *chosen = menu.exec(globalPos);
    if (chosen == add)
        addMeter();
    else if (chosen == edit)
        editMeter();
}

bool MeterManager::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ContextMenu && (watched == list || watched == list->viewport())) {
        const auto *request = static_cast<QContextMenuEvent *>(event);
        showRegisterMenu(request->reason() == QContextMenuEvent::Keyboard
                             ? list->mapToGlobal(kKeyboardMenuOffset)
                             : request->globalPos());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MeterManager::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int w = width();
    const int h = height();
    tree->setGeometry(8, 8, w / 5, h - 50);
    list->setGeometry(w / 5 + 12, 8, w - w / 5 - 25, h - 50);
    backButton->setGeometry(8, h - 30, 100, 25);
}

void MeterManager::goBack()
{
    hide();
    emit backRequested();
}
