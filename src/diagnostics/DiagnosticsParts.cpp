#include "DiagnosticsParts.h"

#include "DiagnosticsTexts.h"
#include "Prompts.h"

#include <QAccessibleWidget>
#include <QFileDialog>
#include <QHeaderView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QSaveFile>
#include <QSet>

namespace {

// The window classes announced as windows, by class name; only the GUI
// thread asks.
QSet<QString> &windowClasses()
{
    static QSet<QString> names;
    return names;
}

// Asked for the object's own class first, then for its base classes.
QAccessibleInterface *accessibleWindow(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType() || !windowClasses().contains(className))
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
}

} // namespace

namespace DiagnosticsParts {

QTableView *rowTable(const char *name, QStandardItemModel *model, QWidget *parent)
{
    auto *view = new QTableView(parent);
    view->setObjectName(QString::fromLatin1(name));
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view->horizontalHeader()->setStretchLastSection(true);
    return view;
}

QPushButton *namedButton(const char *name, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

void announceAsWindow(QWidget *window)
{
    windowClasses().insert(QString::fromLatin1(window->metaObject()->className()));
    // Installing the same factory again changes nothing.
    QAccessible::installFactory(accessibleWindow);
}

void askAndSave(QWidget *parent, const QString &title, const QString &filter, const QString &text,
                Prompts &prompts, int language)
{
    const QString path = QFileDialog::getSaveFileName(parent, title, QString(), filter, nullptr,
                                                      QFileDialog::DontUseNativeDialog);
    if (!path.isEmpty())
        saveText(path, text, prompts, language);
}

bool saveText(const QString &path, const QString &text, Prompts &prompts, int language)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text) && file.write(text.toUtf8()) >= 0 && file.commit())
        return true;
    prompts.error(kSaveFailed.text(language).arg(path, file.errorString()),
                  kSaveFailedCaption.text(language));
    return false;
}

} // namespace DiagnosticsParts
