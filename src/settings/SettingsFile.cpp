#include "SettingsFile.h"

#include "DataDirectory.h"
#include "TextConversions.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringList>

#include <optional>
#include <utility>

namespace {

const QString kMissing = QStringLiteral("Error");

// Files are UTF-8; a file from an older Chinese installation that is not
// valid UTF-8 is read as GB18030.
QString decode(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder gb("GB18030");
    return gb.isValid() ? gb(bytes) : QString::fromLatin1(bytes);
}

std::optional<QStringList> readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    // A read that breaks off would pass for a shorter file.
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    QString text = decode(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The section name of a "[name]" line, or a null string for other lines.
QString sectionOf(const QString &line)
{
    const QString t = line.trimmed();
    if (t.size() < 2 || !t.startsWith(QLatin1Char('[')))
        return {};
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    return close < 0 ? QString() : t.mid(1, close - 1).trimmed();
}

bool isKeyLine(const QString &line, const QString &key, QString *value = nullptr)
{
    const QString t = line.trimmed();
    if (t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
        return false;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq <= 0 || t.left(eq).trimmed().compare(key, Qt::CaseInsensitive) != 0)
        return false;
    if (value)
        *value = t.mid(eq + 1).trimmed();
    return true;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A value or name may not break the line structure of the file: line breaks
// would let one setting write others.
QString singleLine(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

} // namespace

SettingsFile::SettingsFile()
    : filePath(DataDirectory::filePath(QString::fromLatin1(DataDirectory::SettingsFileName)))
{
}

SettingsFile::SettingsFile(const QString &path) : filePath(path) {}

QString SettingsFile::ReadSetting(const QString &section, const QString &key) const
{
    const auto lines = readLines(filePath);
    if (!lines)
        return kMissing;
    // Only the first section of a name counts, for reads as for writes.
    bool inSection = false;
    bool seen = false;
    for (const QString &line : *lines) {
        const QString name = sectionOf(line);
        if (!name.isNull()) {
            if (inSection)
                break;
            inSection = !seen && sameName(name, section);
            seen = seen || inSection;
            continue;
        }
        QString value;
        if (inSection && isKeyLine(line, key, &value))
            return value.left(MaxValueLength);
    }
    return kMissing;
}

int SettingsFile::ReadInt(const QString &section, const QString &key) const
{
    return atoiLike(ReadSetting(section, key));
}

double SettingsFile::ReadReal(const QString &section, const QString &key) const
{
    return atofLike(ReadSetting(section, key));
}

QString SettingsFile::ReadSetting(SettingKey setting) const
{
    return ReadSetting(QString::fromLatin1(setting.section), QString::fromLatin1(setting.key));
}

int SettingsFile::ReadInt(SettingKey setting) const
{
    return atoiLike(ReadSetting(setting));
}

double SettingsFile::ReadReal(SettingKey setting) const
{
    return atofLike(ReadSetting(setting));
}

bool SettingsFile::WriteSetting(const QString &section, const QString &key, const QString &value)
{
    const QString cleanSection = singleLine(section).trimmed();
    const QString cleanKey = singleLine(key).trimmed();
    if (cleanSection.isEmpty() || cleanKey.isEmpty() || cleanKey.contains(QLatin1Char('=')))
        return false;
    // Only a file that is not there starts empty. One that is there but cannot
    // be opened or read (no permission, a directory, an I/O error) would be
    // replaced by a file holding this one key, losing all the others.
    QStringList lines;
    if (QFileInfo::exists(filePath)) {
        auto existing = readLines(filePath);
        if (!existing)
            return false;
        lines = std::move(*existing);
    }
    const QString entry = cleanKey + QLatin1Char('=') + singleLine(value);

    qsizetype sectionStart = -1; // line after the header of the matching section
    qsizetype insertAt = -1;     // line after the last entry of that section
    bool replaced = false;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size() && !replaced; ++i) {
        const QString name = sectionOf(lines[i]);
        if (!name.isNull()) {
            inSection = sectionStart < 0 && sameName(name, cleanSection);
            if (inSection)
                sectionStart = insertAt = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        if (isKeyLine(lines[i], cleanKey)) {
            // The key keeps the spelling it has in the file.
            lines[i] = lines[i].left(lines[i].indexOf(QLatin1Char('='))).trimmed() + QLatin1Char('=') +
                       singleLine(value);
            replaced = true;
        } else if (!lines[i].trimmed().isEmpty()) {
            insertAt = i + 1;
        }
    }
    if (!replaced && sectionStart >= 0) {
        lines.insert(insertAt, entry);
    } else if (!replaced) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(QString());
        lines.append(QLatin1Char('[') + cleanSection + QLatin1Char(']'));
        lines.append(entry);
    }

    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // QSaveFile::commit does not report a write error that only shows when
    // its buffer is flushed (a full disk), and would rename a truncated file
    // over the good one; flushing first catches it.
    const QByteArray content = (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
    if (file.write(content) != content.size() || !file.flush()) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
}

bool SettingsFile::WriteInt(const QString &section, const QString &key, int value)
{
    return WriteSetting(section, key, QString::number(value));
}

bool SettingsFile::WriteSetting(SettingKey setting, const QString &value)
{
    return WriteSetting(QString::fromLatin1(setting.section), QString::fromLatin1(setting.key), value);
}

bool SettingsFile::WriteInt(SettingKey setting, int value)
{
    return WriteSetting(setting, QString::number(value));
}

// "%g" as the C library has it, whatever the locale: six significant digits,
// no trailing zeros, an exponent for very large and very small values.
bool SettingsFile::WriteReal(SettingKey setting, double value)
{
    return WriteSetting(setting, QString::asprintf("%g", value));
}
