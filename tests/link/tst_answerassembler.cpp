#include "FrameBytes.h"
#include "AnswerAssembler.h"

#include <QTest>

namespace {

using Chunks = QList<QByteArray>;

ModbusRequest requestOf(const QByteArray &bytes)
{
    ModbusRequest request{};
    std::copy_n(bytes.begin(), request.size(), request.begin());
    return request;
}

// The receive buffer of an answer: the answer, then zeros.
QByteArray padded(const QByteArray &answer)
{
    return answer + QByteArray(32 - answer.size(), '\0');
}

const char *kRead = "010300c8000105f4";     // read register 200 of meter 1
const char *kReadAnswer = "010302012cb809"; // meter 1: 300
const char *kWrite = "010600040064c9e0";    // write 100 into register 4 of meter 1
const char *kReadException = "018302c0f1";  // meter 1: illegal data address
const char *kWriteException = "018602c3a1"; // the same for a write

} // namespace

class TestAnswerAssembler : public QObject {
    Q_OBJECT

private slots:
    void gathersOneAnswer_data();
    void gathersOneAnswer();
    void bytesWithoutRequestAreIgnored();
    void aNewRequestForgetsTheLastAnswer();
    void bytesAfterTheAnswerAreDropped();
    void acceptingALoneCopy_data();
    void acceptingALoneCopy();
};

void TestAnswerAssembler::gathersOneAnswer_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<bool>("silence"); // the line goes quiet after the chunks
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QByteArray>("answer");

    const QByteArray read = hex(kRead);
    const QByteArray readAnswer = hex(kReadAnswer);
    const QByteArray write = hex(kWrite);
    Chunks oneByOne;
    for (char c : readAnswer)
        oneByOne << QByteArray(1, c);

    QTest::newRow("read answer in one piece") << read << Chunks{readAnswer} << false << true << readAnswer;
    QTest::newRow("read answer byte by byte") << read << oneByOne << false << true << readAnswer;
    QTest::newRow("address and function alike to the request wait for more")
        << read << Chunks{hex("0103")} << false << false << QByteArray();
    QTest::newRow("five bytes of a read answer are not enough")
        << read << Chunks{hex("050302ffff")} << false << false << QByteArray();
    QTest::newRow("exception answer to a read is 5 bytes")
        << read << Chunks{hex(kReadException)} << false << true << hex(kReadException);
    QTest::newRow("echo then read answer")
        << read << Chunks{read + readAnswer} << false << true << readAnswer;
    QTest::newRow("echo and answer split across their boundary")
        << read << Chunks{read.left(4), read.mid(4) + readAnswer.left(2), readAnswer.mid(2)} << false << true
        << readAnswer;
    QTest::newRow("echo alone is no answer, even when the line goes quiet")
        << read << Chunks{read} << true << false << QByteArray();
    QTest::newRow("echo then exception answer")
        << read << Chunks{read, hex(kReadException)} << false << true << hex(kReadException);
    QTest::newRow("lone copy of a write waits: it may be an echo")
        << write << Chunks{write} << false << false << QByteArray();
    QTest::newRow("lone copy of a write still waits when the line goes quiet: the meter may answer late")
        << write << Chunks{write} << true << false << QByteArray();
    QTest::newRow("second copy of a write makes the first one the echo")
        << write << Chunks{write, write} << false << true << write;
    QTest::newRow("write echo then exception answer")
        << write << Chunks{write + hex(kWriteException)} << false << true << hex(kWriteException);
    QTest::newRow("write answer that is no copy is still 8 bytes")
        << write << Chunks{hex("0106000400650820")} << false << true << hex("0106000400650820");
    QTest::newRow("partial answer ends when the line goes quiet")
        << read << Chunks{hex("010302")} << true << true << hex("010302");
    QTest::newRow("part of the request ends as what it is when the line goes quiet")
        << read << Chunks{hex("010300")} << true << true << hex("010300");
    QTest::newRow("unknown function code waits for quiet")
        << read << Chunks{hex("012b0011")} << false << false << QByteArray();
    QTest::newRow("unknown function code ends when the line goes quiet")
        << read << Chunks{hex("012b0011")} << true << true << hex("012b0011");
    QTest::newRow("a full buffer of noise ends the answer")
        << read << Chunks{QByteArray(40, '\x55')} << false << true << QByteArray(32, '\x55');
    QTest::newRow("silence with nothing received is no answer")
        << read << Chunks{} << true << false << QByteArray();
}

void TestAnswerAssembler::gathersOneAnswer()
{
    QFETCH(QByteArray, request);
    QFETCH(Chunks, chunks);
    QFETCH(bool, silence);
    QFETCH(bool, complete);
    QFETCH(QByteArray, answer);

    AnswerAssembler assembler;
    assembler.start(requestOf(request));
    for (const QByteArray &chunk : chunks)
        assembler.feed(reinterpret_cast<const std::uint8_t *>(chunk.constData()), std::size_t(chunk.size()));
    if (silence)
        assembler.lineSilent();
    QCOMPARE(assembler.state() == AnswerAssembler::State::Complete, complete);
    if (complete) {
        QCOMPARE(bytesOf(assembler.answer()), padded(answer));
        QCOMPARE(assembler.answerLength(), std::size_t(answer.size()));
    }
}

void TestAnswerAssembler::bytesWithoutRequestAreIgnored()
{
    AnswerAssembler assembler;
    const QByteArray answer = hex(kReadAnswer);
    assembler.feed(reinterpret_cast<const std::uint8_t *>(answer.constData()), std::size_t(answer.size()));
    assembler.lineSilent();
    QCOMPARE(assembler.state(), AnswerAssembler::State::Waiting);
    QCOMPARE(bytesOf(assembler.answer()), padded({}));
}

void TestAnswerAssembler::aNewRequestForgetsTheLastAnswer()
{
    AnswerAssembler assembler;
    const QByteArray answer = hex(kReadAnswer);
    assembler.start(requestOf(hex(kRead)));
    assembler.feed(reinterpret_cast<const std::uint8_t *>(answer.constData()), std::size_t(answer.size()));
    QCOMPARE(assembler.state(), AnswerAssembler::State::Complete);
    assembler.start(requestOf(hex(kRead)));
    QCOMPARE(assembler.state(), AnswerAssembler::State::Waiting);
    QCOMPARE(assembler.receivedCount(), std::size_t(0));
    QCOMPARE(bytesOf(assembler.answer()), padded({}));
}

void TestAnswerAssembler::bytesAfterTheAnswerAreDropped()
{
    AnswerAssembler assembler;
    const QByteArray answer = hex(kReadAnswer);
    assembler.start(requestOf(hex(kRead)));
    const QByteArray twice = answer + answer;
    assembler.feed(reinterpret_cast<const std::uint8_t *>(twice.constData()), std::size_t(twice.size()));
    assembler.feed(reinterpret_cast<const std::uint8_t *>(answer.constData()), std::size_t(answer.size()));
    QCOMPARE(bytesOf(assembler.answer()), padded(answer));
}

QTEST_GUILESS_MAIN(TestAnswerAssembler)

// At the end of a write's answer time the owner settles what has come.
void TestAnswerAssembler::acceptingALoneCopy_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<bool>("complete");
    const QByteArray read = hex(kRead);
    const QByteArray write = hex(kWrite);
    QTest::newRow("a lone copy of a write is its answer") << write << write << true;
    QTest::newRow("a copy and part of a second one is no lone copy")
        << write << write + write.left(3) << false;
    QTest::newRow("a copy and an exception are echo and answer")
        << write << write + hex(kWriteException) << false;
    QTest::newRow("the echo of a read is never its answer") << read << read << false;
    QTest::newRow("nothing received stays nothing") << write << QByteArray() << false;
}

void TestAnswerAssembler::acceptingALoneCopy()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, received);
    QFETCH(bool, complete);
    AnswerAssembler assembler;
    assembler.start(requestOf(request));
    assembler.feed(reinterpret_cast<const std::uint8_t *>(received.constData()),
                   std::size_t(received.size()));
    assembler.lineSilent();
    assembler.acceptLoneCopy();
    QCOMPARE(bytesOf(assembler.answer()) == padded(request), complete);
}

#include "tst_answerassembler.moc"
