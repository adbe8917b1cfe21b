#pragma once

#include <QString>
#include <QStringList>

// "quorvane-cli ports": examines every serial device and says why a port
// will not work, as text (a block of sentences per device, then whether
// ModemManager runs) or as one JSON document. `languageOption` is --lang as
// given ("0", "1" or empty for the settings file's language); `root` is the
// directory the devices are looked for under, "/" when empty; `arguments`
// are the words after "ports", of which there must be none.
// Returns 0, or 2 for a bad command line.
int runPorts(bool json, const QString &languageOption, const QStringList &arguments, const QString &root);
