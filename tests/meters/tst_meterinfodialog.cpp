#include "Language.h"
#include "MeterInfoDialog.h"
#include "MeterRegister.h"
#include "MeterTypeCatalog.h"
#include "RecordingPrompts.h"
#include "StoreFixtures.h"

#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace StoreFixtures;
using Mode = MeterInfoDialog::Mode;
using Rows = QList<QStringList>;

class TestMeterInfoDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    RecordingPrompts prompts;
    Language language{0};

    QString dataPath() const { return dir->filePath(QStringLiteral("qlvmdata.db")); }
    // Rows of (ID, Yb_Id, Yb_Azwz, Yb_Type, Yb_Xh, Yb_Jddj).
    void seed(const QString &values)
    {
        if (!values.isEmpty())
            sql(dataPath(),
                "INSERT INTO YbGL (ID, Yb_Id, Yb_Azwz, Yb_Type, Yb_Xh, Yb_Jddj) VALUES " + values);
    }
    Rows rows() const
    {
        return sql(dataPath(), "SELECT Yb_Id, Yb_Azwz, Yb_Type, Yb_Bz FROM YbGL ORDER BY ID");
    }

    // Runs the dialog on the files with `whileOpen` acting on it once it
    // shows; it is cancelled afterwards if still open.
    int run(Mode mode, const QString &address, const std::function<void(MeterInfoDialog &)> &whileOpen)
    {
        MeterRegister meters(prompts, dir->path());
        MeterTypeCatalog catalog(prompts, dir->path());
        MeterInfoDialog dialog(mode, meters, catalog, language, prompts);
        dialog.setAddressText(address);
        QTimer::singleShot(0, &dialog, [&] {
            whileOpen(dialog);
            if (dialog.isVisible())
                dialog.reject();
        });
        return dialog.exec();
    }
    static QLineEdit *edit(MeterInfoDialog &dialog, const QString &name)
    {
        return dialog.findChild<QLineEdit *>(name);
    }
    static QPushButton *confirmButton(MeterInfoDialog &dialog)
    {
        return dialog.findChild<QPushButton *>(QStringLiteral("confirmButton"));
    }
    // ASCII as keys; other characters, which the test library cannot type,
    // as an input method's text.
    static void type(QLineEdit *edit, const QString &text)
    {
        for (const QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(edit, c.toLatin1());
                continue;
            }
            QInputMethodEvent commit;
            commit.setCommitString(QString(c));
            QCoreApplication::sendEvent(edit, &commit);
        }
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        for (const QString name : {"qlvmdata.db", "qlvmsys.db"}) {
            QVERIFY(QFile::copy(builtDatabase(name), dir->filePath(name)));
            QFile::setPermissions(dir->filePath(name), QFile::ReadOwner | QFile::WriteOwner);
        }
        refuseRemark(dataPath(), QStringLiteral("bad"));
        prompts.clear();
        prompts.answer = true;
    }

    void confirm_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("seeded");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("remark");
        QTest::addColumn<Rows>("stored"); // empty: the file stays as seeded
        QTest::addColumn<QString>("error");
        const int add = int(Mode::Add);
        const int edit = int(Mode::Edit);
        const QString one = QStringLiteral("(2, '5', 'a', 'TX-101', '', '')");
        QTest::newRow("add to an empty register")
            << add << "" << true << "" << Rows{{"0", "new", "TX-101", ""}} << "";
        QTest::newRow("add after 62") << add << "(1, '62', 'a', '', '', '')" << true << "ok"
                                      << Rows{{"62", "a", "", "NULL"}, {"63", "new", "TX-101", "ok"}} << "";
        QTest::newRow("add answered No") << add << "" << false << "" << Rows() << "";
        QTest::newRow("add the file refuses") << add << one << true << "bad" << Rows() << "write refused";
        QTest::newRow("edit, rows out of address order")
            << edit << "(1, '7', 'a', 'TX-101', '', ''), " + one + ", (3, '2', 'c', 'TX-101', '', '')" << true
            << ""
            << Rows{{"7", "a", "TX-101", "NULL"}, {"5", "new", "TX-101", ""}, {"2", "c", "TX-101", "NULL"}}
            << "";
        QTest::newRow("edit the file refuses") << edit << one << true << "bad" << Rows() << "write refused";
    }

    // Adds meter "new" or edits meter 5 to be "new"; a refused store leaves
    // the dialog open with its inputs.
    void confirm()
    {
        QFETCH(int, mode);
        QFETCH(QString, seeded);
        QFETCH(bool, answer);
        QFETCH(QString, remark);
        QFETCH(Rows, stored);
        QFETCH(QString, error);
        seed(seeded);
        const Rows before = rows();
        prompts.answer = answer;
        language.set(Mode(mode) == Mode::Add ? 0 : 1);
        QString texts, kept;
        bool open = false;
        const int result = run(Mode(mode), QStringLiteral("5"), [&](MeterInfoDialog &dialog) {
            texts = dialog.windowTitle() + '/' + confirmButton(dialog)->text() + '/' +
                    edit(dialog, "address")->text();
            QLineEdit *position = edit(dialog, "installPosition");
            position->clear();
            type(position, QStringLiteral("new"));
            type(edit(dialog, "remark"), remark);
            QTest::mouseClick(confirmButton(dialog), Qt::LeftButton);
            open = dialog.isVisible();
            kept = position->text() + '/' + edit(dialog, "remark")->text();
        });
        QCOMPARE(result, int(stored.isEmpty() ? QDialog::Rejected : QDialog::Accepted));
        QCOMPARE(rows(), stored.isEmpty() ? before : stored);
        if (Mode(mode) == Mode::Add) {
            QCOMPARE(texts.section('/', 0, 1), QStringLiteral("添加仪表/确定添加"));
            QCOMPARE(texts.section('/', 2),
                     QString::number(before.isEmpty() ? 0 : before.last()[0].toInt() + 1));
            QCOMPARE(prompts.shown.at(0).text,
                     QStringLiteral("仪表添加后只能更改，不可删除。\n确定添加吗？"));
            QCOMPARE(prompts.shown.at(0).caption, QStringLiteral("敬告"));
        } else {
            QCOMPARE(texts, QStringLiteral("Edit Meter/Confirm To Edit/5"));
            QCOMPARE(prompts.count(RecordingPrompts::Kind::Question), 0);
        }
        QCOMPARE(open, stored.isEmpty());
        if (open)
            QCOMPARE(kept, "new/" + remark);
        QCOMPARE(prompts.count(RecordingPrompts::Kind::Error), error.isEmpty() ? 0 : 1);
        QVERIFY(prompts.lastText().contains(error));
    }

    void openingCheckRefuses_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("seeded");
        QTest::addColumn<QString>("message");
        const QString nothing = QStringLiteral("No meter selected,can NOT edit.");
        QTest::newRow("add to a full register") << int(Mode::Add) << "(1, '63', '', '', '', '')"
                                                << "Meter amount is full,can NOT add more.";
        QTest::newRow("edit in an empty register") << int(Mode::Edit) << "" << nothing;
        QTest::newRow("edit of an address not held")
            << int(Mode::Edit) << "(1, '50', '', '', '', '')" << nothing;
    }

    void openingCheckRefuses()
    {
        QFETCH(int, mode);
        QFETCH(QString, seeded);
        QFETCH(QString, message);
        seed(seeded);
        language.set(1);
        bool shown = false;
        QCOMPARE(run(Mode(mode), QStringLiteral("5"), [&](MeterInfoDialog &) { shown = true; }),
                 int(QDialog::Rejected));
        QVERIFY(!shown);
        QCOMPARE(prompts.shown.size(), 1);
        QCOMPARE(prompts.lastText(), message);
        QCOMPARE(prompts.shown[0].caption, QStringLiteral("Tarvex Communication"));
    }

    void typingStopsAtTheByteLimit_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("11 ASCII into 10") << "sensorType"
                                          << ""
                                          << "ABCDEFGHIJK"
                                          << "ABCDEFGHIJ";
        QTest::newRow("3 Chinese into 5") << "precision"
                                          << ""
                                          << "一二三"
                                          << "一二";
        QTest::newRow("Chinese after ASCII") << "precision"
                                             << ""
                                             << "ab一二c"
                                             << "ab一c";
        QTest::newRow("a stored text over the limit does not grow") << "sensorType"
                                                                    << "ABCDEFGHIJKL"
                                                                    << "M"
                                                                    << "ABCDEFGHIJKL";
    }

    // Typed at the end of the stored text, then one Backspace.
    void typingStopsAtTheByteLimit()
    {
        QFETCH(QString, field);
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        seed(QStringLiteral("(1, '5', '', '', '%1', '')").arg(stored));
        QStringList texts;
        run(Mode::Edit, QStringLiteral("5"), [&](MeterInfoDialog &dialog) {
            QLineEdit *input = edit(dialog, field);
            input->end(false);
            type(input, typed);
            texts << input->text();
            QTest::keyClick(input, Qt::Key_Backspace);
            texts << input->text();
        });
        QCOMPARE(texts, (QStringList{expected, expected.chopped(1)}));
    }

    void meterTypeSelection_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("index");
        QTest::newRow("active type") << "TX-202" << 1;
        QTest::newRow("inactive type") << "TX-090" << -1;
        QTest::newRow("differs in case") << "tx-202" << -1;
    }

    // With no entry selected the edit stores an empty type.
    void meterTypeSelection()
    {
        QFETCH(QString, stored);
        QFETCH(int, index);
        seed(QStringLiteral("(1, '5', '', '%1', '', '')").arg(stored));
        QList<int> seen;
        run(Mode::Edit, QStringLiteral("5"), [&](MeterInfoDialog &dialog) {
            const auto *types = dialog.findChild<QComboBox *>(QStringLiteral("meterType"));
            seen << types->count() << types->currentIndex();
            QTest::mouseClick(confirmButton(dialog), Qt::LeftButton);
        });
        QCOMPARE(seen, (QList<int>{6, index})); // the supplied catalogue offers six types
        QCOMPARE(rows().at(0).at(2), index < 0 ? QString() : stored);
    }
};

QTEST_MAIN(TestMeterInfoDialog)
#include "tst_meterinfodialog.moc"
