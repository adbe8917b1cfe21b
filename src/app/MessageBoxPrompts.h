#pragma once

#include "Prompts.h"

class QWidget;

// The program's message boxes, modal to the given window. The only place
// that shows a QMessageBox.
class MessageBoxPrompts : public Prompts {
public:
    explicit MessageBoxPrompts(QWidget *parent = nullptr) : parent(parent) {}
    void setParent(QWidget *window) { parent = window; }

    void error(const QString &text, const QString &caption) override;
    void info(const QString &text, const QString &caption) override;
    void warning(const QString &text, const QString &caption) override;
    bool question(const QString &text, const QString &caption) override;

private:
    QWidget *parent;
};
