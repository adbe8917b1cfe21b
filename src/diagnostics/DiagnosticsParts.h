#pragma once

#include <QString>

class Prompts;
class QPushButton;
class QStandardItemModel;
class QTableView;
class QWidget;

// Small pieces both diagnostic windows use.
namespace DiagnosticsParts {

// A push button with the object name that tests and screen readers find it by.
QPushButton *namedButton(const char *name, QWidget *parent);

// A read-only table of whole rows on `model`, its columns as wide as their
// contents, the last one stretched, with the object name tests find it by.
QTableView *rowTable(const char *name, QStandardItemModel *model, QWidget *parent);

// Screen readers take a top-level plain QWidget for a filler; after this,
// every window of `window`'s class is announced as a window, its title as its
// name. Called first thing in the window class's constructor, before anything
// asks for the window's accessible interface.
void announceAsWindow(QWidget *window);

// Asks where to save (`title`, `filter`) and writes `text` there as UTF-8,
// whole or not at all; a file that cannot be written is told with the
// reason. Nothing happens when the operator cancels.
void askAndSave(QWidget *parent, const QString &title, const QString &filter, const QString &text,
                Prompts &prompts, int language);
// Writes `text` to `path` as askAndSave does; false when it could not.
bool saveText(const QString &path, const QString &text, Prompts &prompts, int language);

} // namespace DiagnosticsParts
