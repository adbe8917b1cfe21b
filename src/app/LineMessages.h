#pragma once

#include "LineEvent.h"
#include "ParameterData.h"
#include "PortFailure.h"

#include <QObject>
#include <QString>

class Language;
class MeterLine;
class Prompts;

// Tells the operator what a line reports, in the current language: events
// become status texts (stamped with their time) or message boxes, a run's
// progress gets its text prefix, and a completed read of all parameters
// becomes the parameter table's rows. The boxes go to `prompts`; for a line
// that runs in the program they must open only after the line's handler has
// returned (DeferredPrompts), so that the line keeps running while one is up.
class LineMessages : public QObject {
    Q_OBJECT

public:
    LineMessages(const Language &language, Prompts &prompts, QObject *parent = nullptr);

    // Follows every report of `line`.
    void follow(const MeterLine &line);

    // Reports of a line or its scheduler.
    void tell(const LineEvent &event);
    void startProgress(LineRun run, int high);
    void moveProgress(LineRun run, int position);
    void showParameters(const ParameterReading &reading);

    // What an event says in `language`, without time or caption; empty for
    // an event that says nothing.
    static QString text(const LineEvent &event, int language);
    // Whether the event is told in a message box rather than the status bar.
    static bool needsBox(LineEvent::What what);
    static QString progressPrefix(LineRun run, int language);
    // The parameter table's rows: captions in `language`, values formatted
    // with the menu's decimal places.
    static ParameterDisplay display(const ParameterReading &reading, int language);
    // Why a port could not be opened or configured, in words; empty when
    // the port named no reason.
    static QString portFailureText(const PortFailure &failure, int language);
    // Status texts carry the local time in front: "yyyy-MM-dd;HH:mm:ss",
    // a line feed, then the message.
    static QString stamped(const QDateTime &when, const QString &message);

signals:
    void statusText(const QString &text);
    void progressStarted(const QString &prefix, int high);
    void progressMoved(const QString &prefix, int position);
    void progressEnded();
    void parametersRead(const ParameterDisplay &display);

private:
    const Language &language;
    Prompts &prompts;
    const MeterLine *followed = nullptr;
};
