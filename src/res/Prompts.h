#pragma once

#include <QString>

// The program's message boxes. Every failure, notice and confirmation goes
// through this interface so that windowless logic can report to the user and
// tests can record and answer what would be shown.
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual void error(const QString &text, const QString &caption) = 0;
    virtual void info(const QString &text, const QString &caption) = 0;
    virtual void warning(const QString &text, const QString &caption) = 0;
    // Yes/No question; true for Yes.
    virtual bool question(const QString &text, const QString &caption) = 0;
};
