// broker_will_client PORT TOPIC CLIENT_ID
//
// Connects to the broker on 127.0.0.1:PORT as CLIENT_ID with a retained
// will kOffline on TOPIC, publishes kOnline retained on TOPIC, prints
// "ready" once the broker has acknowledged it, and waits. Closing its
// standard input makes it stop cleanly and exit with 0.

#include "BrokerClient.h"
#include "WillClient.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 4) {
        std::fputs("usage: broker_will_client PORT TOPIC CLIENT_ID\n", stderr);
        return 2;
    }
    const QString topic = arguments.at(2);
    BrokerSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = arguments.at(1).toUShort();
    settings.keepAliveS = kWillClientKeepAliveS;
    settings.clientId = arguments.at(3);

    BrokerClient client;
    client.setWill(topic, kOffline, 1, true);
    int onlineId = -1;
    QObject::connect(&client, &BrokerClient::connected, &client,
                     [&] { client.publish(topic, kOnline, 1, true, &onlineId); });
    QObject::connect(&client, &BrokerClient::acknowledged, &client, [&](int messageId) {
        if (messageId != onlineId)
            return;
        std::fputs("ready\n", stdout);
        std::fflush(stdout);
    });

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char chunk[64];
        if (::read(STDIN_FILENO, chunk, sizeof chunk) > 0)
            return;
        input.setEnabled(false);
        client.stop();
        app.quit();
    });

    if (!client.start(settings)) {
        std::fputs("broker_will_client: settings refused\n", stderr);
        return 1;
    }
    return app.exec();
}
