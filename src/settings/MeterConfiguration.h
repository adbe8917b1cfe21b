#pragma once

#include <QObject>

class SettingsFile;

// The meters on the line, as section "MeterConfig" of the settings file holds
// them. The application owns it and the view loads it; the line takes the
// poll period once, follows the address range through changed(), and takes
// the meter type for a read of all parameters.
class MeterConfiguration : public QObject {
    Q_OBJECT

public:
    struct Values {
        int metertype = 0;      // ID of the meter type in table METERTYPE
        int channels = 0;       // channel count of the meter type
        int samplingtime = 300; // poll period in milliseconds
        int singleormulti = 0;  // 1 a single meter, 2 an address range
        int startaddress = 0;   // first meter address
        int endaddress = 63;    // last meter address
        int meteramount = 0;    // number of meters

        bool operator==(const Values &) const = default;
    };

    explicit MeterConfiguration(QObject *parent = nullptr);

    const Values &values() const { return current; }

    // Missing keys read as 0, like every integer of the settings file.
    static Values read(const SettingsFile &settings);
    // Reads the settings file and takes what it holds.
    void load(const SettingsFile &settings);
    // Emits changed() only when some value differs from the current ones.
    void set(const Values &values);
    // Writes all seven keys, one write each, in the order of the fields, then
    // takes the values. They are taken even when a write failed, as the line
    // runs with port settings it could not store; false tells the caller to
    // report that the settings file was not written.
    bool save(SettingsFile &settings, const Values &values);

signals:
    void changed();

private:
    Values current;
};
