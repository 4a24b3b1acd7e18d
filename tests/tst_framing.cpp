// The CAT input framing: commands cut at ";" whatever the reads, the unfinished tail carried
// until its ";", the 64-character bound, NUL as an ordinary byte; a command read from a piece as
// a TS-480 reads it; and what line noise around and inside commands does through the channel.

#include "CommandFramer.h"
#include "FakeKeyControl.h"
#include "InterpreterHarness.h"

#include <QRandomGenerator>
#include <QtTest>

using Reads = QList<QByteArray>;

class tst_framing : public QObject
{
    Q_OBJECT

private slots:
    void split_data();
    void split();
    void emptyReadKeepsPending();
    void codeAndParameter_data();
    void codeAndParameter();
    void noise_data();
    void noise();
    void floodStaysBounded();
};

namespace
{

QList<QByteArray> frame(CommandFramer& framer, const Reads& reads)
{
    QList<QByteArray> pieces;
    for (const QByteArray& read : reads)
        for (const QByteArrayView piece : framer.splitCommands(read))
            pieces << piece.toByteArray();
    return pieces;
}

Reads oneByteAtATime(const QByteArray& text)
{
    Reads reads;
    for (const char c : text)
        reads << QByteArray(1, c);
    return reads;
}

} // namespace

void tst_framing::split_data()
{
    QTest::addColumn<Reads>("reads");
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QByteArray>("pending");

    const QByteArray line64(64, 'A');
    const QByteArray line65(65, 'A');

    QTest::newRow("two in one read")
        << Reads{"FA;IF;"} << QList<QByteArray>{"FA", "IF"} << QByteArray();
    QTest::newRow("letter then rest")
        << Reads{"F", "A;"} << QList<QByteArray>{"FA"} << QByteArray();
    QTest::newRow("long tail joined")
        << Reads{"FA0", "19;"} << QList<QByteArray>{"FA019"} << QByteArray();
    QTest::newRow("one byte at a time") << oneByteAtATime("FA00007074000;MD;")
                                        << QList<QByteArray>{"FA00007074000", "MD"} << QByteArray();
    QTest::newRow("no terminator yet")
        << Reads{"FA000"} << QList<QByteArray>{} << QByteArray("FA000");
    QTest::newRow("semicolons only") << Reads{";;;"} << QList<QByteArray>{} << QByteArray();
    QTest::newRow("CR LF waits") << Reads{"FA;\r\n"} << QList<QByteArray>{"FA"}
                                 << QByteArray("\r\n");
    QTest::newRow("CR LF joins the next")
        << Reads{"FA;\r\n", "IF;\r\n"} << QList<QByteArray>{"FA", "\r\nIF"} << QByteArray("\r\n");
    QTest::newRow("NUL is a byte")
        << Reads{QByteArray("FA;I\0F;ID;", 10)}
        << QList<QByteArray>{"FA", QByteArray("I\0F", 3), "ID"} << QByteArray();
    QTest::newRow("NUL first") << Reads{QByteArray("\0FA;", 4)}
                               << QList<QByteArray>{QByteArray("\0FA", 3)} << QByteArray();
    QTest::newRow("NUL in the tail") << Reads{QByteArray(";TX\0", 4), ";"}
                                     << QList<QByteArray>{QByteArray("TX\0", 3)} << QByteArray();
    QTest::newRow("lower case kept") << Reads{"fa;"} << QList<QByteArray>{"fa"} << QByteArray();
    QTest::newRow("64 characters")
        << Reads{line64 + ";"} << QList<QByteArray>{line64} << QByteArray();
    QTest::newRow("65 characters dropped")
        << Reads{line65 + ";ID;"} << QList<QByteArray>{"ID"} << QByteArray();
    QTest::newRow("64 over three reads")
        << Reads{line64.left(40), line64.mid(40, 20), line64.mid(60) + ";"}
        << QList<QByteArray>{line64} << QByteArray();
    QTest::newRow("65 over two reads, dropped up to its ;")
        << Reads{line65.left(60), line65.mid(60) + "XX", "YY;ID;"} << QList<QByteArray>{"ID"}
        << QByteArray();
    QTest::newRow("overlong tail then commands")
        << Reads{QByteArray(200, '\n'), ";FA;"} << QList<QByteArray>{"FA"} << QByteArray();
}

void tst_framing::split()
{
    QFETCH(Reads, reads);
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QByteArray, pending);

    CommandFramer framer;
    QCOMPARE(frame(framer, reads), pieces);
    QCOMPARE(framer.pending().toByteArray(), pending);
}

void tst_framing::emptyReadKeepsPending()
{
    CommandFramer framer;
    QVERIFY(framer.splitCommands("F").isEmpty());
    QVERIFY(framer.splitCommands(QByteArray()).isEmpty());
    QCOMPARE(framer.pending().toByteArray(), QByteArray("F"));
    QCOMPARE(frame(framer, {"A;"}), QList<QByteArray>{"FA"});
}

void tst_framing::codeAndParameter_data()
{
    QTest::addColumn<QByteArray>("piece");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("wellFormed");
    QTest::addColumn<QString>("parameter");

    const int digits = int(ParameterKind::Digits);
    const int sign = int(ParameterKind::Signed);
    const int text = int(ParameterKind::Text);
    QTest::newRow("read") << QByteArray("FA") << digits << 0x4146 << true << "";
    QTest::newRow("set") << QByteArray("FA00014074000") << digits << 0x4146 << true
                         << "00014074000";
    QTest::newRow("sign where none belongs")
        << QByteArray("FA-0000014074") << digits << 0x4146 << false << "";
    QTest::newRow("sign where the answer has one")
        << QByteArray("IS+0100") << sign << 0x5349 << true << "+0100";
    QTest::newRow("text as it stands")
        << QByteArray("KY CQ de+?") << text << 0x594b << true << " CQ de+?";
    QTest::newRow("letter, noise, letter") << QByteArray("T9X") << digits << 0 << true << "";
    QTest::newRow("noise only") << QByteArray("19\x07") << digits << 0 << true << "";
}

void tst_framing::codeAndParameter()
{
    QFETCH(QByteArray, piece);
    QFETCH(int, kind);
    QFETCH(int, code);
    QFETCH(bool, wellFormed);
    QFETCH(QString, parameter);

    const CommandFramer::Command command = CommandFramer::command(piece);
    QCOMPARE(int(command.code), code);
    if (code == 0)
        return;
    QString out = QStringLiteral("left over");
    QCOMPARE(CommandFramer::parameter(command.rest, ParameterKind(kind), out), wellFormed);
    if (wellFormed)
        QCOMPARE(out, parameter);
}

// Whole reads through the channel: the answers the client gets, the host commands and the
// key object's calls. Only well-formed commands act; noise never keys or tunes.
void tst_framing::noise_data()
{
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QByteArray>("answers");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QList<KeyCall>>("keying");

    const QList<KeyCall> keyed{KeyCall::trx(0, 2, true)};
    const QList<KeyCall> released{KeyCall::trx(0, 2, false)};
    const QList<KeyCall> none;
    const QStringList nothing;
    const auto row = [](const char* name, const QByteArray& read) -> QTestData& {
        return QTest::newRow(name) << read;
    };

    row("TX", "TX;") << QByteArray() << nothing << keyed;
    row("TX0 microphone", "TX0;") << QByteArray() << nothing << keyed;
    row("TX1 data", "TX1;") << QByteArray() << nothing << keyed;
    row("TX2", "TX2;") << QByteArray() << nothing << none;
    row("T9X", "T9X;") << QByteArray() << nothing << none;
    row("T CR X LF", "T\rX\n;") << QByteArray() << nothing << none;
    row("T NUL X", QByteArray("T\0X;", 4)) << QByteArray() << nothing << none;
    row("TX 0xFF", "TX\xff;") << QByteArray() << nothing << none;
    row("noise byte before RX", "0RX;") << QByteArray("RX0;") << nothing << released;
    row("NUL between commands", QByteArray("ID;\0ID;\0", 8))
        << QByteArray("ID020;ID020;") << nothing << none;
    row("CR LF before commands", "FA;\r\nIF;\r\n")
        << QByteArray("FA00001900000;IF0000190000000000+000000000030000000;") << nothing << none;
    row("spaces inside a parameter", "FA 0000 7074 000;")
        << QByteArray() << QStringList{"19 u0 u0 d7074000"} << none;
    row("letters gathered from noise", "x F x A x 0000 7074 000 x;")
        << QByteArray() << nothing << none;
    row("PS+", "PS+;") << QByteArray() << nothing << none;
    row("PS2", "PS2;") << QByteArray() << nothing << none;
    row("PS1", "PS1;") << QByteArray() << QStringList{"166 u0 true"} << none;
    row("negative frequency", "FA-0000014074;") << QByteArray() << nothing << none;
    row("AG above 255", "AG0999;") << QByteArray() << nothing << none;
    row("KS above 60", "KS999;") << QByteArray() << nothing << none;
    row("KS 60", "KS060;") << QByteArray() << QStringList{"82 u60"} << none;
    row("our refusal echoed", "?;") << QByteArray() << nothing << none;
    row("lone noise byte", ";\x07;") << QByteArray("?;") << nothing << none;
    row("filter menu read", "EX0450000;") << QByteArray("EX04500000;") << nothing << none;
    row("other menu read", "EX0120000;") << QByteArray("?;") << nothing << none;
    row("menu set", "EX04500001;") << QByteArray() << nothing << none;
}

void tst_framing::noise()
{
    QFETCH(QByteArray, read);
    QFETCH(QByteArray, answers);
    QFETCH(QStringList, sent);
    QFETCH(QList<KeyCall>, keying);

    InterpreterHarness h;
    QVERIFY(h.open());
    FakeKeyControl key;
    h.announceKeyObject(&key);
    h.hostCommands.clear();
    QString parameter;
    ControlTestAccess::executeBatch(h.channel, h.session, read, parameter);
    QCOMPARE(answers.isEmpty() ? h.pty.readFor(20) : h.pty.read(1000, ';', int(answers.count(';'))),
             answers);
    QCOMPARE(h.sentCommands(), sent);
    QCOMPARE(key.calls(), keying);
}

// Megabytes of noise, with and without terminators: pieces and pending text stay within the
// bound, and a command after the noise is still recognised.
void tst_framing::floodStaysBounded()
{
    QRandomGenerator random(7);
    CommandFramer framer;
    for (int read = 0; read < 256; ++read) {
        QByteArray noise(4096, Qt::Uninitialized);
        for (char& c : noise)
            c = read % 2 ? char(random.bounded(1, 256)) : 'X';
        for (const QByteArrayView piece : framer.splitCommands(noise))
            QVERIFY(piece.size() <= CommandFramer::maxCommandLength);
        QVERIFY(framer.pending().size() <= CommandFramer::maxCommandLength);
    }
    QCOMPARE(frame(framer, {";ID;"}).last(), QByteArray("ID"));
}

QTEST_MAIN(tst_framing)
#include "tst_framing.moc"
