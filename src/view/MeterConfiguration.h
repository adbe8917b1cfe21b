#pragma once

class SettingsFile;

// The meters on the line, as section "MeterConfig" of the settings file holds
// them. The view owns it; the main window hands the poll period and the
// address range to the scheduler, the parameter transfer takes the meter type.
struct MeterConfiguration {
    int metertype = 0;      // ID of the meter type in table METERTYPE
    int channels = 0;       // channel count of the meter type
    int samplingtime = 300; // poll period in milliseconds
    int singleormulti = 0;  // 1 a single meter, 2 an address range
    int startaddress = 0;   // first meter address
    int endaddress = 63;    // last meter address
    int meteramount = 0;    // number of meters

    // Missing keys read as 0, like every integer of the settings file.
    static MeterConfiguration read(const SettingsFile &settings);
    // Writes all seven keys, one write each, in the order of the fields.
    bool write(SettingsFile &settings) const;
};
