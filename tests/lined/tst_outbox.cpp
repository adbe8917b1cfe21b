#include "Outbox.h"

#include <QTemporaryDir>
#include <QTest>

class TestOutbox : public QObject {
    Q_OBJECT

private slots:
    // The numbers go on across a restart, what the consumer acknowledged
    // goes, and what it did not stays, in order.
    void numbersSurviveARestartAndAcknowledgedSamplesGo()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("north.db"));
        {
            Outbox outbox(path);
            QVERIFY2(outbox.isOpen(), qPrintable(outbox.errorText()));
            QCOMPARE(outbox.append(1, 1000, 123), 1);
            QCOMPARE(outbox.append(2, 1001, std::nullopt), 2);
            // Not written yet: nothing to send.
            QVERIFY(outbox.after(0, 10).isEmpty());
            QVERIFY(outbox.commit());
            QCOMPARE(outbox.after(0, 10),
                     (QList<Outbox::Sample>{{1, 1, 1000, 123}, {2, 2, 1001, std::nullopt}}));
            outbox.append(3, 1002, -45);
            // Written when the outbox goes, as at a clean stop.
        }
        {
            Outbox outbox(path);
            QCOMPARE(outbox.lastSeq(), 3);
            QCOMPARE(outbox.append(1, 1003, 7), 4);
            outbox.acknowledge(2);
            QVERIFY(outbox.commit());
            QCOMPARE(outbox.firstSeq(), 3);
            QCOMPARE(outbox.after(0, 10).size(), 2);
            QCOMPARE(outbox.after(3, 1), (QList<Outbox::Sample>{{4, 1, 1003, 7}}));
            // Everything acknowledged: the counter stays.
            outbox.acknowledge(4);
            QVERIFY(outbox.commit());
            QCOMPARE(outbox.firstSeq(), 0);
        }
        Outbox outbox(path);
        QCOMPARE(outbox.append(5, 1004, 1), 5);
    }

    // An acknowledgement beyond what was ever numbered (a consumer of an
    // older file, or a bad payload) does not eat samples still to come.
    void anAcknowledgementFromTheFutureIsCut()
    {
        QTemporaryDir dir;
        Outbox outbox(dir.filePath(QStringLiteral("north.db")));
        outbox.append(1, 1, 1);
        outbox.acknowledge(1000);
        outbox.append(1, 2, 2);
        QVERIFY(outbox.commit());
        QCOMPARE(outbox.after(0, 10).size(), 1);
        QCOMPARE(outbox.after(0, 10).first().seq, 2);
    }

    void anUnwritableFileIsSaid()
    {
        QTemporaryDir dir;
        Outbox outbox(dir.filePath(QStringLiteral("missing/north.db")));
        QVERIFY(!outbox.isOpen());
        QVERIFY(!outbox.errorText().isEmpty());
        outbox.append(1, 1, 1);
        QVERIFY(outbox.commit());
        QVERIFY(outbox.after(0, 10).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestOutbox)
#include "tst_outbox.moc"
