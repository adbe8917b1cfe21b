#pragma once

#include "Prompts.h"

#include <QObject>

// Prompts for code that runs inside the line's handlers (a timer tick, an
// answer). A message box runs an event loop of its own, and Qt delivers
// neither the next tick of the same timer nor the next readyRead of the port
// while the handler that opened it has not returned: the line would stall
// for as long as the box stays open. Errors, notices and warnings are
// therefore queued and shown once the handler has returned. Questions need
// their answer at once and go straight through; the line asks none.
class DeferredPrompts : public QObject, public Prompts {
    Q_OBJECT

public:
    explicit DeferredPrompts(Prompts &shown, QObject *parent = nullptr);

    void error(const QString &text, const QString &caption) override;
    void info(const QString &text, const QString &caption) override;
    void warning(const QString &text, const QString &caption) override;
    bool question(const QString &text, const QString &caption) override;

private:
    template <typename Show> void later(Show show);

    Prompts &shown;
};
