#pragma once

#include "BrokerClient.h"
#include "LineFrame.h"
#include "LineTransportSettings.h"
#include "ModbusFrame.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <optional>

class LiveValueTable;
class QJsonObject;

// What happened while watching a line, for the owner to tell in its own
// words.
struct WatchEvent {
    enum class What {
        Connected,   // the broker connection is up: the line's topics are followed
        BrokerLost,  // the broker connection broke; it is being made again
        LineOffline, // the line's service says the line is offline, or its last will does
        LineOnline,  // the line is online again after it was offline
        Refused,     // the broker refused the connection; it is tried again
    };
    What what = What::Connected;
    QString broker; // host:port of the broker
    QString line;   // the line's name
    QDateTime time;
    int refusal = 0; // Refused: the broker's CONNACK code
};

Q_DECLARE_METATYPE(WatchEvent)

// Watches a line that the line service polls elsewhere and publishes under
// quorvane/v1/<site>/<line>/, and stores what it publishes into a
// LiveValueTable, as the line itself would: a good value is stored, a meter
// that did not answer is marked so, and the health of every meter in the
// periodic stats is taken as a whole. The table's owner keeps its own line
// closed meanwhile.
//
// The broker connection keeps itself up (BrokerClient); after a loss the
// retained messages bring the values up to date again.
class BrokerWatch : public QObject {
    Q_OBJECT

public:
    // Seconds without traffic after which the broker connection is checked.
    static constexpr int KeepAliveS = 10;

    explicit BrokerWatch(LiveValueTable &values, QObject *parent = nullptr);
    ~BrokerWatch() override;

    // Starts watching the line `settings` names (transport=broker); a watch
    // that runs stops first. Until the broker tells their values every meter
    // counts as not answering, and the health counts start afresh. False,
    // with the reason in failure(), only when the broker client refuses the
    // settings; an unreachable broker is tried again.
    bool start(const LineTransportSettings &settings);
    // Stops watching and disconnects; the table keeps what it holds.
    void stop();

    bool running() const { return client != nullptr; }
    bool connected() const { return client && client->isConnected(); }
    // The line's service said last that the line is online; false while
    // nothing is known (not connected, or no state published).
    bool online() const { return lineOnline.value_or(false); }
    const LineTransportSettings &settings() const { return watched; }
    // The full topic of `rest` under the watched line's prefix.
    QString topic(const QString &rest) const { return prefix + rest; }
    BrokerFailure failure() const { return lastFailure; }

signals:
    void happened(const WatchEvent &event);
    void onlineChanged(bool online);
    // Each poll the service published, as what came back on its line: the
    // answer with the register value, an exception with its code, a bad
    // frame, or no answer; at the poll's time. The bytes are not published.
    void frameLogged(const LineFrame &frame);

private:
    void onConnected();
    void onDisconnected();
    void onMessage(const QString &topic, const QByteArray &payload);
    void takeState(const QJsonObject &state);
    void takeValue(int address, const QJsonObject &value);
    void takeStats(const QJsonObject &stats);
    void logFrame(const LineFrame &frame);
    void setLineState(std::optional<bool> state);
    void report(WatchEvent::What what, int refusal = 0);

    LiveValueTable &values;
    // One client per watch: a client keeps its subscriptions for good.
    std::unique_ptr<BrokerClient> client;
    LineTransportSettings watched;
    QString prefix;
    BrokerFailure lastFailure;
    std::optional<bool> lineOnline;
    // When each meter last answered well, from its value messages; the stats
    // do not carry it.
    std::array<QDateTime, Modbus::MeterCount> lastGood{};
};
