#include "AboutDialog.h"

#include "AppTexts.h"
#include "CommandIds.h"
#include "ToolbarIcons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

AboutDialog::AboutDialog(int language, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutDialog%1").arg(ResourceId::AboutDialog));
    setWindowTitle(kAboutCaption.text(language));
    auto *logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("logo"));
    logo->setPixmap(ToolbarIcons::icon(ToolbarIcons::Kind::Logo).pixmap(48, 48));
    auto *line = new QLabel(kAboutLine.text(language).arg(QStringLiteral(QUORVANE_VERSION)), this);
    line->setObjectName(QStringLiteral("static1123"));
    auto *ok = new QPushButton(kButtonOk.text(language), this);
    ok->setObjectName(QStringLiteral("ok1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *row = new QHBoxLayout;
    row->addWidget(logo);
    row->addSpacing(12);
    row->addWidget(line, 1);
    row->addSpacing(12);
    row->addWidget(ok, 0, Qt::AlignTop);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
