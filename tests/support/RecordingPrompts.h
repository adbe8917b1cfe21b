#pragma once

#include "Prompts.h"

#include <QList>
#include <QString>

// Prompts that record what would have been shown and answer questions with a
// preset reply.
class RecordingPrompts : public Prompts {
public:
    enum class Kind { Error, Info, Warning, Question };
    struct Shown {
        Kind kind;
        QString text;
        QString caption;
    };

    void error(const QString &text, const QString &caption) override { record(Kind::Error, text, caption); }
    void info(const QString &text, const QString &caption) override { record(Kind::Info, text, caption); }
    void warning(const QString &text, const QString &caption) override
    {
        record(Kind::Warning, text, caption);
    }
    bool question(const QString &text, const QString &caption) override
    {
        record(Kind::Question, text, caption);
        return answer;
    }

    qsizetype count(Kind kind) const
    {
        qsizetype n = 0;
        for (const Shown &s : shown)
            n += s.kind == kind;
        return n;
    }
    QString lastText() const { return shown.isEmpty() ? QString() : shown.last().text; }
    void clear() { shown.clear(); }

    QList<Shown> shown;
    bool answer = true;

private:
    void record(Kind kind, const QString &text, const QString &caption)
    {
        shown.append({kind, text, caption});
    }
};
