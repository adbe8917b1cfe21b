#pragma once

#include "SettingsKeys.h"

#include <QString>

// The program's settings file, an INI text of [Section] and key=value lines.
// There is no cache: every read goes to the file and every write changes it at
// once, so any number of SettingsFile objects may exist side by side.
class SettingsFile {
public:
    static constexpr int MaxValueLength = 63;

    // The settings file of the data directory.
    SettingsFile();
    explicit SettingsFile(const QString &path);

    const QString &path() const { return filePath; }

    // The value, cut to 63 characters; "Error" for a missing or unreadable
    // file, section or key. Section and key names match case-insensitively.
    QString ReadSetting(const QString &section, const QString &key) const;
    int ReadInt(const QString &section, const QString &key) const;
    double ReadReal(const QString &section, const QString &key) const;
    QString ReadSetting(SettingKey setting) const;
    int ReadInt(SettingKey setting) const;
    double ReadReal(SettingKey setting) const;

    // Replaces the key's value or appends the key (and its section). The new
    // file is written beside the old one and renamed over it, so a failed
    // write leaves the old file as it was. A file that exists but cannot be
    // read is left alone too: writing it would drop every other setting.
    // False tells of any such failure; the callers that can prompt report it.
    bool WriteSetting(const QString &section, const QString &key, const QString &value);
    bool WriteInt(const QString &section, const QString &key, int value);
    bool WriteSetting(SettingKey setting, const QString &value);
    bool WriteInt(SettingKey setting, int value);
    bool WriteReal(SettingKey setting, double value);

private:
    QString filePath;
};
