#include "DiagnosticsParts.h"

#include "DiagnosticsTexts.h"
#include "Prompts.h"

#include <QFileDialog>
#include <QPushButton>
#include <QSaveFile>

namespace DiagnosticsParts {

QPushButton *namedButton(const char *name, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
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
