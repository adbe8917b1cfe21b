#include "ScanResults.h"

#include "CsvText.h"
#include "ScanTexts.h"

#include <algorithm>
#include <iterator>

namespace ScanResults {

ScanPlan plan(const Choices &choices, const ScanSetting &own)
{
    ScanPlan plan;
    plan.firstAddress = choices.firstAddress;
    plan.lastAddress = choices.lastAddress;
    plan.timeoutMs = choices.timeoutMs;
    for (int baud : choices.bauds)
        for (int parity : choices.parities)
            for (int stopBits : choices.stopBits)
                plan.settings.append({baud, choices.dataBits, parity, stopBits});
    if (plan.settings.contains(own)) {
        plan.settings.removeAll(own);
        plan.settings.prepend(own);
    }
    plan.dropRepeatedSettings();
    return plan;
}

namespace {

QString parityLetter(int parityIndex)
{
    static constexpr char kParityLetters[] = "NOEMS";
    return parityIndex >= 0 && parityIndex < 5 ? QString(QLatin1Char(kParityLetters[parityIndex]))
                                               : QStringLiteral("?");
}

QString stopBitsText(int stopBitsIndex)
{
    return stopBitsIndex == 1   ? QStringLiteral("1.5")
           : stopBitsIndex == 2 ? QStringLiteral("2")
                                : QStringLiteral("1");
}

} // namespace

QString settingText(const ScanSetting &setting)
{
    return QStringLiteral("%1 %2%3%4")
        .arg(setting.baud)
        .arg(setting.dataBits)
        .arg(parityLetter(setting.parityIndex), stopBitsText(setting.stopBitsIndex));
}

QStringList header(int language)
{
    QStringList texts;
    for (const BiText *text : {&kScanColAddress, &kScanColBaud, &kScanColParity, &kScanColDataBits,
                               &kScanColStopBits, &kScanColAnswer, &kScanColResponse, &kScanColValue})
        texts << text->text(language);
    return texts;
}

QStringList row(const ScanFind &find, int language)
{
    const QString answer =
        find.exception ? kScanAnswerException.text(language).arg(find.exceptionCode, 2, 16, QLatin1Char('0'))
                       : kScanAnswerNormal.text(language);
    return {QString::number(find.address),
            QString::number(find.setting.baud),
            parityLetter(find.setting.parityIndex),
            QString::number(find.setting.dataBits),
            stopBitsText(find.setting.stopBitsIndex),
            answer,
            find.responseMs >= 0 ? QString::number(find.responseMs) : QString(),
            find.exception ? QString() : QString::number(find.raw / 10.0, 'f', 1)};
}

QString tabText(const QList<ScanFind> &finds, int language)
{
    QString text = header(language).join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (const ScanFind &find : finds)
        text += row(find, language).join(QLatin1Char('\t')) + QLatin1Char('\n');
    return text;
}

QByteArray csv(const QList<ScanFind> &finds, int language)
{
    auto line = [](const QStringList &fields) {
        QStringList quoted;
        for (const QString &field : fields)
            quoted << csvField(field);
        return quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    };
    QString text = line(header(language));
    for (const ScanFind &find : finds)
        text += line(row(find, language));
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QList<ScanFind> findsOfOneSetting(const QList<ScanFind> &finds, int preferred)
{
    if (finds.isEmpty())
        return {};
    const ScanSetting setting =
        preferred >= 0 && preferred < finds.size() ? finds[preferred].setting : finds.first().setting;
    QList<ScanFind> chosen;
    std::copy_if(finds.begin(), finds.end(), std::back_inserter(chosen),
                 [&setting](const ScanFind &find) { return find.setting == setting; });
    return chosen;
}

PortSettings portFor(const ScanSetting &setting, PortSettings port)
{
    const QByteArray baud = QByteArray::number(setting.baud);
    const auto at = std::find_if(PortSettings::BaudRates.begin(), PortSettings::BaudRates.end(),
                                 [&baud](const char *rate) { return baud == rate; });
    // A rate the port dialog does not list keeps the old position; the
    // port is set by the text.
    if (at != PortSettings::BaudRates.end())
        port.baudIndex = int(at - PortSettings::BaudRates.begin());
    port.baudText = QString::fromLatin1(baud);
    port.dataBits = setting.dataBits;
    port.parityIndex = setting.parityIndex;
    port.stopBitsIndex = setting.stopBitsIndex;
    return port;
}

MeterConfiguration::Values metersFor(const QList<int> &addresses, MeterConfiguration::Values values)
{
    values.startaddress = *std::min_element(addresses.begin(), addresses.end());
    values.endaddress = *std::max_element(addresses.begin(), addresses.end());
    const bool single = values.startaddress == values.endaddress;
    values.singleormulti = single ? 1 : 2;
    values.meteramount = values.endaddress - values.startaddress + 1;
    return values;
}

RegisterAdditions registerAdditions(const QList<int> &found, const MeterRegister &registered)
{
    RegisterAdditions additions;
    const std::optional<int> next = registered.nextAddress();
    for (int address : found) {
        if (registered.find(address))
            continue;
        if (next && address >= *next)
            additions.added << address;
        else
            additions.outOfOrder << address;
    }
    return additions;
}

MeterRecord recordFor(int address, const QString &meterTypeName)
{
    MeterRecord record;
    record.address = QString::number(address);
    record.meterType = meterTypeName;
    return record;
}

QList<int> addressesOf(const QList<ScanFind> &finds)
{
    QList<int> addresses;
    for (const ScanFind &find : finds)
        if (!addresses.contains(find.address))
            addresses << find.address;
    std::sort(addresses.begin(), addresses.end());
    return addresses;
}

} // namespace ScanResults
