#pragma once

#include "LineAlarms.h"
#include "MeterLine.h"

#include <QList>
#include <QString>

#include <optional>

// The line service's configuration file: a UTF-8 INI file with one section
// [Broker] and one section [Line NAME] per line. Comments start with ';' or
// '#' at the start of a line or after a blank. Every key is checked: an
// unknown section or key, a missing required key and a value that means
// nothing are refused, naming the file, the section, the key and the value.
struct ServiceConfig {
    struct Broker {
        QString host;
        quint16 port = 1883;
        QString site = QStringLiteral("plant");
        QString username;
        QString password;
        QString caFile;
        int keepAliveS = 10;
    };

    struct Line {
        QString name; // the topic level of the line
        LineSetup setup;
        QString device; // the serial device, for transport=serial
        int first = 1;
        int last = 1;
        int meterType = 1;
        int periodMs = 200;
        // The value history file; empty for the data directory's
        // qlvmhist-<name>.db.
        QString historyPath;
        // Missing answers in a row that raise a meter's comm alarm; 0: never.
        int commLossAfter = LineAlarms::DefaultCommLossAfter;
    };

    // Why a file was refused: where, and what was wrong.
    struct Error {
        QString file;
        int lineNumber = 0; // 0 when the fault is not on one line
        QString section;
        QString key;
        QString value;
        QString reason;

        // One line: "FILE:LINE: [SECTION] KEY=VALUE: REASON".
        QString text() const;
    };

    QString file;
    Broker broker;
    QList<Line> lines;

    // Reads and checks `path`; `error` says why when nothing is returned.
    static std::optional<ServiceConfig> read(const QString &path, Error &error);
    // The same for text already read, `path` naming it in messages.
    static std::optional<ServiceConfig> parse(const QByteArray &text, const QString &path, Error &error);
};
