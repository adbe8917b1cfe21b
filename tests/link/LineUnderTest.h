#pragma once

#include "Language.h"
#include "MeterConfiguration.h"
#include "MeterLine.h"
#include "PortSettings.h"
#include "RecordingPrompts.h"

#include <QSet>
#include <QStringList>

// The line as the program builds it, on one device (COM1), in English, with
// its prompts recorded and everything it signals kept for the test to look at.
struct LineUnderTest {
    MeterConfiguration meters;
    Language language{1};
    RecordingPrompts recorded;
    std::unique_ptr<MeterLine> line;
    QStringList status;
    QList<ParameterDisplay> shown;
    QSet<int> storedSince; // meters whose value was stored since the last clear

    LineUnderTest(const QString &device, ParameterMenuSource menus, int first, int last, int pollMs,
                  Prompts *prompts = nullptr)
    {
        MeterConfiguration::Values values;
        values.metertype = 5;
        values.samplingtime = pollMs;
        values.startaddress = first;
        values.endaddress = last;
        meters.set(values);
        line = std::make_unique<MeterLine>(PortNames([device](int) { return device; }), meters, language,
                                           prompts ? *prompts : recorded, std::move(menus));
        QObject::connect(line.get(), &MeterLine::statusText, [this](const QString &text) { status << text; });
        QObject::connect(line.get(), &MeterLine::parametersRead,
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
