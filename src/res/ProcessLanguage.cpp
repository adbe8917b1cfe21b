#include "ProcessLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

namespace {
// Read and written on the GUI thread only.
int language = 0;

// Qt's own texts (the buttons of message boxes and standard dialogs) in
// Chinese while the program speaks Chinese; without it a Chinese message box
// would offer "Yes" and "No".
void useQtTranslation(int value)
{
    static QPointer<QTranslator> chinese;
    if (!QCoreApplication::instance())
        return;
    if (value == 1) {
        if (chinese)
            QCoreApplication::removeTranslator(chinese);
        return;
    }
    if (!chinese) {
        chinese = new QTranslator(QCoreApplication::instance());
        if (!chinese->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            return;
    }
    if (!chinese->isEmpty())
        QCoreApplication::installTranslator(chinese);
}
} // namespace

int processLanguage()
{
    return language;
}

void setProcessLanguage(int value)
{
    language = value;
    useQtTranslation(value);
}
