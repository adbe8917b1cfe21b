#pragma once

#include <QByteArray>

// What broker_will_client keeps retained on its topic while it runs, and
// the will the broker publishes there when the client dies.
inline const QByteArray kOnline = QByteArrayLiteral(R"({"online":true})");
inline const QByteArray kOffline = QByteArrayLiteral(R"({"online":false})");
inline constexpr int kWillClientKeepAliveS = 5;
