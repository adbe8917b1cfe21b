// Feeds arbitrary file contents to the settings reader and writer. Besides
// crashes it checks that a value written is read back as written (trimmed,
// cut to 63 characters, line breaks made blanks) whatever the file held.
#include "SettingsFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("qlvmsys.dll"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    SettingsFile settings(path);
    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    // The first line of the input doubles as a section and key name.
    const QString name = QString::fromUtf8(raw.left(raw.indexOf('\n'))).left(20);
    settings.ReadSetting(Setting::Lang);
    settings.ReadSetting(name, name);

    const QString value = QString::fromUtf8(raw.right(40));
    if (!settings.WriteSetting(Setting::ComName, value))
        return 0;
    QString expected = value;
    expected.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    expected = expected.trimmed().left(SettingsFile::MaxValueLength);
    if (settings.ReadSetting(QStringLiteral("commconfig"), QStringLiteral("COMNAME")) != expected)
        std::abort();
    return 0;
}
