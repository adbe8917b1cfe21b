#include "MessageBoxPrompts.h"

#include <QMessageBox>

void MessageBoxPrompts::error(const QString &text, const QString &caption)
{
    QMessageBox::critical(parent, caption, text);
}

void MessageBoxPrompts::info(const QString &text, const QString &caption)
{
    QMessageBox::information(parent, caption, text);
}

void MessageBoxPrompts::warning(const QString &text, const QString &caption)
{
    QMessageBox::warning(parent, caption, text);
}

bool MessageBoxPrompts::question(const QString &text, const QString &caption)
{
    return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}
