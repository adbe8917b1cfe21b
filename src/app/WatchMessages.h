#pragma once

#include <QString>

struct WatchEvent;

// What a watched line reports, in the operator's words for the status bar:
// stamped with its time as the line's own events are.
namespace WatchMessages {

QString text(const WatchEvent &event, int language);

} // namespace WatchMessages
