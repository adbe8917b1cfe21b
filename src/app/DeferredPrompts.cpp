#include "DeferredPrompts.h"

#include <QMetaObject>

DeferredPrompts::DeferredPrompts(Prompts &prompts, QObject *parent) : QObject(parent), shown(prompts) {}

template <typename Show> void DeferredPrompts::later(Show show)
{
    QMetaObject::invokeMethod(this, show, Qt::QueuedConnection);
}

void DeferredPrompts::error(const QString &text, const QString &caption)
{
    later([this, text, caption] { shown.error(text, caption); });
}

void DeferredPrompts::info(const QString &text, const QString &caption)
{
    later([this, text, caption] { shown.info(text, caption); });
}

void DeferredPrompts::warning(const QString &text, const QString &caption)
{
    later([this, text, caption] { shown.warning(text, caption); });
}

bool DeferredPrompts::question(const QString &text, const QString &caption)
{
    return shown.question(text, caption);
}
