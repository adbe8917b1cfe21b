#include "SetFile.h"

#include "CsvText.h"
#include "ModbusFrame.h"
#include "ParameterTransfer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <set>

namespace SetFile {

namespace {

using What = ImportError::What;

bool refuse(ImportError &error, What what, const QString &detail)
{
    error = {what, detail};
    return false;
}

// A whole number within [low, high], or nothing.
std::optional<qint64> wholeNumber(const QJsonValue &value, qint64 low, qint64 high)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number != double(qint64(number)) || number < double(low) || number > double(high))
        return std::nullopt;
    return qint64(number);
}

// Field `name` of `object` as a whole number within [low, high].
bool readNumber(const QJsonObject &object, const QString &name, const QString &path, qint64 low, qint64 high,
                qint64 &out, ImportError &error)
{
    const QJsonValue value = object.value(name);
    if (value.isUndefined())
        return refuse(error, What::FieldMissing, path);
    const std::optional<qint64> number = wholeNumber(value, low, high);
    if (!number)
        return refuse(error, What::FieldNotValid, path);
    out = *number;
    return true;
}

bool readText(const QJsonObject &object, const QString &name, QString &out, ImportError &error)
{
    const QJsonValue value = object.value(name);
    if (value.isUndefined() || value.isNull())
        return true;
    if (!value.isString())
        return refuse(error, What::FieldNotValid, name);
    out = value.toString();
    return true;
}

} // namespace

QByteArray toJson(const ParameterSet &set)
{
    QJsonArray parameters;
    for (const SetParameter &p : set.parameters)
        parameters.append(QJsonObject{{"k", p.k},
                                      {"register", p.reg},
                                      {"caption", p.caption},
                                      {"captionEN", p.captionEN},
                                      {"raw", p.raw},
                                      {"text", p.text}});
    const QJsonObject object{
        {"format", QLatin1String(Format)},
        {"version", Version},
        {"address", set.address},
        {"meterType", set.meterType},
        {"meterTypeName", set.meterTypeName},
        {"taken", set.taken.toUTC().toString(Qt::ISODate)},
        {"note", set.note},
        {"parameters", parameters},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QByteArray toCsv(const ParameterSet &set)
{
    QString text = QStringLiteral("address,meterType,meterTypeName,taken,k,register,caption,captionEN,raw,text\r\n");
    const QString common = QStringLiteral("%1,%2,%3,%4,")
                               .arg(set.address)
                               .arg(set.meterType)
                               .arg(csvField(set.meterTypeName), set.taken.toUTC().toString(Qt::ISODate));
    for (const SetParameter &p : set.parameters) {
        text += common + QStringLiteral("%1,%2,%3,%4,%5,%6\r\n")
                             .arg(p.k)
                             .arg(p.reg)
                             .arg(csvField(p.caption), csvField(p.captionEN))
                             .arg(p.raw)
                             .arg(csvField(p.text));
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

std::optional<ParameterSet> fromJson(const QByteArray &json, const ParameterMenuSource &menus,
                                     ImportError &error)
{
    error = {};
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError) {
        refuse(error, What::NotJson, QStringLiteral("%1 (%2)").arg(parse.errorString()).arg(parse.offset));
        return std::nullopt;
    }
    if (!document.isObject()) {
        refuse(error, What::NotASet, QString());
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    if (object.value(QLatin1String("format")).toString() != QLatin1String(Format)) {
        refuse(error, What::NotASet, object.value(QLatin1String("format")).toVariant().toString());
        return std::nullopt;
    }
    const QJsonValue version = object.value(QLatin1String("version"));
    if (wholeNumber(version, Version, Version) != Version) {
        refuse(error, What::VersionUnknown, version.toVariant().toString());
        return std::nullopt;
    }

    ParameterSet set;
    qint64 address = 0;
    qint64 meterType = 0;
    if (!readNumber(object, QStringLiteral("address"), QStringLiteral("address"), 0, Modbus::MeterCount - 1,
                    address, error) ||
        !readNumber(object, QStringLiteral("meterType"), QStringLiteral("meterType"), 0,
                    std::numeric_limits<int>::max(), meterType, error) ||
        !readText(object, QStringLiteral("meterTypeName"), set.meterTypeName, error) ||
        !readText(object, QStringLiteral("note"), set.note, error))
        return std::nullopt;
    set.address = int(address);
    set.meterType = int(meterType);
    const QJsonValue taken = object.value(QLatin1String("taken"));
    set.taken = QDateTime::fromString(taken.toString(), Qt::ISODateWithMs).toUTC();
    if (taken.isUndefined()) {
        refuse(error, What::FieldMissing, QStringLiteral("taken"));
        return std::nullopt;
    }
    if (!set.taken.isValid()) {
        refuse(error, What::FieldNotValid, QStringLiteral("taken"));
        return std::nullopt;
    }

    const std::optional<ParameterMenu> menu = menus ? menus(set.meterType) : std::nullopt;
    if (!menu) {
        refuse(error, What::MeterTypeUnknown, QString::number(set.meterType));
        return std::nullopt;
    }
    const QJsonValue list = object.value(QLatin1String("parameters"));
    if (!list.isArray()) {
        refuse(error, list.isUndefined() ? What::FieldMissing : What::FieldNotValid, QStringLiteral("parameters"));
        return std::nullopt;
    }
    std::set<int> seen;
    const QJsonArray parameters = list.toArray();
    for (qsizetype i = 0; i < parameters.size(); ++i) {
        const QString path = QStringLiteral("parameters[%1]").arg(i);
        if (!parameters[i].isObject()) {
            refuse(error, What::FieldNotValid, path);
            return std::nullopt;
        }
        const QJsonObject entry = parameters[i].toObject();
        qint64 k = 0;
        if (!readNumber(entry, QStringLiteral("k"), path + QStringLiteral(".k"), std::numeric_limits<int>::min(),
                        std::numeric_limits<int>::max(), k, error))
            return std::nullopt;
        if (k < 0 || k >= menu->count) {
            refuse(error, What::OutsideMenu, QString::number(k));
            return std::nullopt;
        }
        if (!seen.insert(int(k)).second) {
            refuse(error, What::DuplicateParameter, QString::number(k));
            return std::nullopt;
        }
        const QJsonValue reg = entry.value(QLatin1String("register"));
        if (!reg.isUndefined() && wholeNumber(reg, 2 * k, 2 * k) != 2 * k) {
            refuse(error, What::RegisterMismatch, QString::number(k));
            return std::nullopt;
        }
        const QJsonValue rawValue = entry.value(QLatin1String("raw"));
        if (rawValue.isUndefined()) {
            refuse(error, What::FieldMissing, path + QStringLiteral(".raw"));
            return std::nullopt;
        }
        // A register holds 16 bits, written signed or unsigned.
        const std::optional<qint64> raw = wholeNumber(rawValue, -32768, 65535);
        if (!raw) {
            refuse(error, What::RawOutOfRange,
                   QStringLiteral("%1 = %2").arg(k).arg(rawValue.toVariant().toString()));
            return std::nullopt;
        }
        const auto position = std::size_t(k);
        const auto value = qint16(quint16(*raw));
        set.parameters.append({int(k), int(2 * k), menu->captionC[position], menu->captionE[position], value,
                               ParameterTransfer::formatValue(value, menu->oneDecimal[position])});
    }
    std::sort(set.parameters.begin(), set.parameters.end(),
              [](const SetParameter &a, const SetParameter &b) { return a.k < b.k; });
    return set;
}

} // namespace SetFile
