// The CAT input framing: commands cut at ";" whatever the reads, the unfinished tail carried
// until its ";", the 64-character bound, the NUL rule, and the letter and parameter filters
// checked against the regular expressions they stand for.

#include "CommandFramer.h"
#include "Control.h"

#include <QRandomGenerator>
#include <QRegularExpression>
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
    void filtersMatchTheRegularExpressions();
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
    QTest::newRow("NUL ends the read")
        << Reads{QByteArray("FA;I\0F;", 7)} << QList<QByteArray>{"FA"} << QByteArray("I");
    QTest::newRow("NUL first") << Reads{QByteArray("\0FA;", 4)} << QList<QByteArray>{}
                               << QByteArray();
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
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("parameter");

    QTest::newRow("read") << QByteArray("FA") << 0x4146 << "";
    QTest::newRow("set") << QByteArray("FA00014074000") << 0x4146 << "00014074000";
    QTest::newRow("spaces inside") << QByteArray("F A 1") << 0x4146 << "1";
    QTest::newRow("signs") << QByteArray("RU+-5") << 0x5552 << "+-5";
    QTest::newRow("lower case") << QByteArray("fa") << 0 << "";
    QTest::newRow("one letter") << QByteArray("A") << 0 << "";
    QTest::newRow("three letters") << QByteArray("FAB1") << 0 << "1";
    QTest::newRow("parameter only") << QByteArray("19") << 0 << "19";
    QTest::newRow("Latin-1 letters") << QByteArray("\xc1\xc9") << 0 << "";
    QTest::newRow("CR LF before") << QByteArray("\r\nMD2") << 0x444d << "2";
}

void tst_framing::codeAndParameter()
{
    QFETCH(QByteArray, piece);
    QFETCH(int, code);
    QFETCH(QString, parameter);

    QString out = QStringLiteral("left over");
    CommandFramer::parameter(piece, out);
    QCOMPARE(int(CommandFramer::commandCode(piece)), code);
    QCOMPARE(out, parameter);
}

// The worker filters without regular expressions; on any bytes it must agree with the
// letters "[^A-Z]" and parameter "[^0-9+-]" removals of the Latin-1 text.
void tst_framing::filtersMatchTheRegularExpressions()
{
    const QRegularExpression notLetter(QStringLiteral("[^A-Z]"));
    const QRegularExpression notParameter(QStringLiteral("[^0-9+-]"));
    QRandomGenerator random(480);
    QString parameter;
    for (int round = 0; round < 5000; ++round) {
        QByteArray piece(random.bounded(1, 12), Qt::Uninitialized);
        for (char& c : piece)
            c = round % 2 ? char(random.bounded(1, 256)) : "FAMD+-019 ;\r"[random.bounded(12)];
        const QString text = QString::fromLatin1(piece);
        CommandFramer::parameter(piece, parameter);
        QCOMPARE(CommandFramer::commandCode(piece),
                 Control::commandCode(QString(text).remove(notLetter)));
        QCOMPARE(parameter, QString(text).remove(notParameter));
    }
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

QTEST_APPLESS_MAIN(tst_framing)
#include "tst_framing.moc"
