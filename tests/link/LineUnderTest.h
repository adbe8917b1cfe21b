#pragma once

#include "DeferredPrompts.h"
#include "Language.h"
#include "LineMessages.h"
#include "MeterConfiguration.h"
#include "MeterLine.h"
#include "PortSettings.h"
#include "RecordingPrompts.h"

#include <QSet>
#include <QStringList>

// The line as the program builds it, on one device (COM1), in English, with
// its prompts recorded (opened once the line's handler has returned, as in
// the program) and everything it says kept for the test to look at.
struct LineUnderTest {
    MeterConfiguration meters;
    Language language{1};
    RecordingPrompts recorded;
    std::unique_ptr<DeferredPrompts> deferred;
    std::unique_ptr<LineMessages> messages;
    std::unique_ptr<MeterLine> line;
    QStringList status;
    QList<ParameterDisplay> shown;
    QSet<int> storedSince; // meters whose value was stored since the last clear

    LineUnderTest(const QString &device, ParameterMenuSource menus, int first, int last, int pollMs,
                  Prompts *prompts = nullptr, const QString &name = QString())
    {
        MeterConfiguration::Values values;
        values.metertype = 5;
        values.samplingtime = pollMs;
        values.startaddress = first;
        values.endaddress = last;
        meters.set(values);
        line = std::make_unique<MeterLine>(PortNames([device](int) { return device; }), meters,
                                           std::move(menus), name);
        deferred = std::make_unique<DeferredPrompts>(prompts ? *prompts : recorded);
        messages = std::make_unique<LineMessages>(language, *deferred);
        messages->follow(*line);
        QObject::connect(messages.get(), &LineMessages::statusText,
                         [this](const QString &text) { status << text; });
        QObject::connect(messages.get(), &LineMessages::parametersRead,
                         [this](const ParameterDisplay &display) { shown << display; });
        QObject::connect(&line->liveValues(), &LiveValueTable::valueStored,
                         [this](int address) { storedSince.insert(address); });
    }

    static PortSettings port()
    {
        PortSettings settings;
        settings.baudText = QStringLiteral("9600");
        settings.stopBitsIndex = 0;
        return settings;
    }

    bool open() { return bool(line->open(port())); }
    const LiveValueTable &values() const { return line->liveValues(); }
    qsizetype statusCount(const char *text) const { return status.filter(QString::fromLatin1(text)).size(); }
};
