#include "WatchMessages.h"

#include "BrokerWatch.h"
#include "LineMessages.h"
#include "WatchTexts.h"

namespace WatchMessages {

QString text(const WatchEvent &event, int language)
{
    using What = WatchEvent::What;
    QString message;
    switch (event.what) {
    case What::Connected:
        message = kWatchConnected.text(language).arg(event.broker, event.line);
        break;
    case What::BrokerLost:
        message = kWatchBrokerLost.text(language);
        break;
    case What::LineOffline:
        message = kWatchLineOffline.text(language).arg(event.line);
        break;
    case What::LineOnline:
        message = kWatchLineOnline.text(language).arg(event.line);
        break;
    case What::Refused:
        // 4: a wrong user name or password, 5: not authorised.
        message = event.refusal == 4 || event.refusal == 5
                      ? kWatchNotAuthorised.text(language).arg(event.broker)
                      : kWatchBrokerRefused.text(language).arg(event.broker).arg(event.refusal);
        break;
    }
    return LineMessages::stamped(event.time, message);
}

} // namespace WatchMessages
