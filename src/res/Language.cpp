#include "Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

Language::Language(int index, QObject *parent) : QObject(parent), current(index)
{
    useQtTranslation();
}

void Language::set(int index)
{
    if (index == current)
        return;
    current = index;
    useQtTranslation();
    emit changed(current);
}

// Without it a Chinese message box would offer "Yes" and "No".
void Language::useQtTranslation()
{
    if (!QCoreApplication::instance())
        return;
    auto *chinese = findChild<QTranslator *>(QStringLiteral("qtChinese"));
    if (current == 1) {
        if (chinese)
            QCoreApplication::removeTranslator(chinese);
        return;
    }
    if (!chinese) {
        chinese = new QTranslator(this);
        chinese->setObjectName(QStringLiteral("qtChinese"));
        if (!chinese->load(QStringLiteral("qtbase_zh_CN"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            return;
    }
    if (!chinese->isEmpty())
        QCoreApplication::installTranslator(chinese);
}
