// A channel's TCP server with real sockets on loopback: who may connect and who may transmit,
// where it binds, the session limit, a port in use, one session flooding beside another, a
// session ending cleanly, and auto-information pushes. Every server listens on a free port.

#include "ChannelHarness.h"
#include "ControlTestAccess.h"
#include "FakeKeyControl.h"
#include "LogLines.h"
#include "TcpClient.h"

#include <QRegularExpression>
#include <QtTest>

namespace
{

constexpr int answerMs = 3000;
// Long enough for an unasked push to arrive if one were coming.
constexpr int quietMs = 200;

const QByteArray faStart = "FA00001900000;";

// Every answer the stream holds, in order; false when a piece is not a whole answer of the
// commands the tests send (so an answer split by a push, or two run together, shows).
bool wholeAnswers(const QByteArray& stream, QList<QByteArray>* answers)
{
    static const QRegularExpression answer(QStringLiteral(
        "^(FA\\d{11}|FB\\d{11}|MD\\d|IF\\d{11}0{5}[+-]\\d{4}\\d{13}0|ID020|AI\\d)$"));
    for (const QByteArray& piece : stream.split(';')) {
        if (piece.isEmpty())
            continue;
        if (!answer.match(QString::fromLatin1(piece)).hasMatch())
            return false;
        answers->append(piece + ';');
    }
    return stream.endsWith(';');
}

} // namespace

class tst_tcp : public QObject
{
    Q_OBJECT

private slots:
    void access_data();
    void access();
    void boundAddresses_data();
    void boundAddresses();
    void ninthClientClosed();
    void portInUse();
    void flooderHoldsBackOnlyItself();
    void endedSessionReleasesTransmitter();
    void pushes_data();
    void pushes();
    void pushesStayWhole();

private:
    // A channel with the key object announced and its server on a free port.
    bool serve(ChannelHarness& channel, const QString& connect = "127.0.0.1, ::1",
               const QString& transmit = "127.0.0.1, ::1");
    quint16 port = 0;
    FakeKeyControl key;
};

bool tst_tcp::serve(ChannelHarness& channel, const QString& connect, const QString& transmit)
{
    channel.announceKeyObject(&key);
    key.clear();
    port = TcpClient::freePort();
    return port != 0 && channel.enableTcp(port, connect, transmit);
}

void tst_tcp::access_data()
{
    QTest::addColumn<QString>("connect");
    QTest::addColumn<QString>("transmit");
    QTest::addColumn<QString>("from");
    QTest::addColumn<bool>("served");
    QTest::addColumn<bool>("keys");
    QTest::addColumn<QString>("event"); // the log's word on the client, after its name
    QTest::newRow("this machine") << "127.0.0.1, ::1"
                                  << "127.0.0.1, ::1"
                                  << "127.0.0.1" << true << true << "connected";
    QTest::newRow("outside the connect list")
        << "127.0.0.1"
        << "127.0.0.1"
        << "127.0.0.2" << false << false << "refused: not in the connect list";
    QTest::newRow("in a range, outside the transmit list")
        << "127.0.0.0/8"
        << "127.0.0.1"
        << "127.0.0.2" << true << false << "connected, may not transmit";
    QTest::newRow("in the transmit range") << "127.0.0.0/8"
                                           << "127.0.0.0/30"
                                           << "127.0.0.2" << true << true << "connected";
}

// A client outside the connect list is closed at once and logged with its address; one outside
// the transmit list is served, but its TX, RX and KY text key nothing, answer nothing and are
// logged.
void tst_tcp::access()
{
    QFETCH(QString, connect);
    QFETCH(QString, transmit);
    QFETCH(QString, from);
    QFETCH(bool, served);
    QFETCH(bool, keys);
    QFETCH(QString, event);
    ChannelHarness channel;
    QVERIFY(serve(channel, connect, transmit));

    TcpClient client;
    QVERIFY(client.connectTo(port, from));
    const QString name = QStringLiteral("%1:%2").arg(from).arg(client.localPort());
    QTRY_COMPARE(channel.events.value(0), name + ' ' + event);
    if (!served) {
        QVERIFY(client.closedByServer(answerMs));
        return;
    }
    QCOMPARE(client.ask("TX;FA;RX;KY CQ;ID;", keys ? 3 : 2),
             faStart + (keys ? "RX0;" : "") + "ID020;");
    QCOMPARE(key.count(KeyCall::SetTrx), keys ? 2 : 0);
    if (!keys) {
        QTRY_COMPARE(channel.events.mid(1),
                     (QStringList{name + " TX refused: not in the transmit list",
                                  name + " RX refused: not in the transmit list",
                                  name + " KY refused: not in the transmit list"}));
        QCOMPARE(key.count(KeyCall::SetKey), 0);
    }
    QTRY_VERIFY(channel.logged.contains("> " + name + " ID020;"));
}

void tst_tcp::boundAddresses_data()
{
    QTest::addColumn<QString>("connect");
    QTest::addColumn<QStringList>("hosts");
    QTest::newRow("default") << "127.0.0.1, ::1" << QStringList{"127.0.0.1", "[::1]"};
    QTest::newRow("loopback range") << "127.0.0.0/8" << QStringList{"127.0.0.1", "[::1]"};
    QTest::newRow("a network named")
        << "127.0.0.1, 192.168.1.0/24" << QStringList{"0.0.0.0", "[::]"};
}

// Nothing beyond this machine reaches the port unless the connect list names it.
void tst_tcp::boundAddresses()
{
    QFETCH(QString, connect);
    QFETCH(QStringList, hosts);
    ChannelHarness channel;
    QVERIFY(serve(channel, connect));
    QStringList expected;
    for (const QString& host : hosts)
        expected << QStringLiteral("%1:%2").arg(host).arg(port);
    const QStringList bound = ControlTestAccess::tcpAddresses(channel.control);
    // A machine without IPv6 binds IPv4 only.
    QCOMPARE(bound, bound.size() == 1 ? expected.mid(0, 1) : expected);
}

// Eight clients are served; a ninth is taken and closed at once, with a log line.
void tst_tcp::ninthClientClosed()
{
    ChannelHarness channel;
    QVERIFY(serve(channel));
    TcpClient clients[Control::maxTcpSessions + 1];
    for (int i = 0; i < Control::maxTcpSessions; ++i) {
        QVERIFY(clients[i].connectTo(port));
        QCOMPARE(clients[i].ask("ID;"), QByteArray("ID020;"));
    }
    TcpClient& ninth = clients[Control::maxTcpSessions];
    QVERIFY(ninth.connectTo(port));
    QVERIFY(ninth.closedByServer(answerMs));
    QTRY_VERIFY(channel.events.value(channel.events.size() - 1)
                    .endsWith(" refused: already 8 TCP clients"));
    QCOMPARE(clients[0].ask("FA;"), faStart);
}

// A port in use is refused as a CAT port that fails to open: the message, and the box unticked.
void tst_tcp::portInUse()
{
    ChannelHarness first;
    QVERIFY(serve(first));
    ChannelHarness second;
    ModalCatcher catcher;
    QVERIFY(!second.enableTcp(port));
    QTRY_COMPARE(catcher.text,
                 QStringLiteral("Can't open TCP port %1\nAddress already in use").arg(port));
    QCOMPARE(ControlTestAccess::tcpPort(second.control), quint16(0));
}

// A client that writes commands and never reads holds back only itself: another client's
// answers keep coming. Closed mid-flood, it leaves no descriptor behind.
void tst_tcp::flooderHoldsBackOnlyItself()
{
    ChannelHarness channel;
    QVERIFY(serve(channel));
    TcpClient poller;
    QVERIFY(poller.connectTo(port));
    QCOMPARE(poller.ask("ID;"), QByteArray("ID020;"));
    const int descriptors = TcpClient::openDescriptors();
    {
        TcpClient flooder;
        QVERIFY(flooder.connectTo(port));
        const QByteArray flood = QByteArray("IF;").repeated(20000);
        qint64 taken = 0;
        for (int round = 0; round < 300; ++round) {
            taken += flooder.writeSome(flood);
            QCOMPARE(poller.ask("FA;"), faStart);
        }
        // More answers than the output limit hold, none of them read.
        QVERIFY(taken / 3 * 38 > ControlTestAccess::outputQueueLimit);
    }
    QTRY_COMPARE_WITH_TIMEOUT(channel.events.size(), 3, 30000);
    QVERIFY(channel.events.last().contains(" disconnected"));
    QCOMPARE(poller.ask("ID;"), QByteArray("ID020;"));
    QCOMPARE(TcpClient::openDescriptors(), descriptors);
}

// A client that keyed and went: the transmitter is released, as the CAT port's client does it.
void tst_tcp::endedSessionReleasesTransmitter()
{
    ChannelHarness channel;
    QVERIFY(serve(channel));
    {
        TcpClient client;
        QVERIFY(client.connectTo(port));
        QCOMPARE(client.ask("TX;ID;"), QByteArray("ID020;"));
    }
    QTRY_COMPARE(key.calls().value(1), KeyCall::trx(0, 2, false));
    QCOMPARE(key.calls().value(0), KeyCall::trx(0, 2, true));
    QVERIFY(!ControlTestAccess::cache(channel.control).trxMode);
}

void tst_tcp::pushes_data()
{
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<QVariantList>("hostReport");
    QTest::addColumn<QByteArray>("otherSets");
    QTest::addColumn<QByteArray>("pushed"); // with AI2; AI0 receives nothing
    QTest::newRow("host tunes") << QByteArray("AI2;") << QVariantList{19, 0u, 0u, 7074000.0}
                                << QByteArray() << QByteArray("FA00007074000;");
    QTest::newRow("host mode") << QByteArray("AI1;") << QVariantList{29, 0u, 0u, 3u} << QByteArray()
                               << QByteArray("MD1;");
    QTest::newRow("another session tunes")
        << QByteArray("AI2;") << QVariantList{} << QByteArray("FA00014074000;")
        << QByteArray("FA00014074000;");
    QTest::newRow("another session keys")
        << QByteArray("AI3;") << QVariantList{} << QByteArray("TX;")
        << QByteArray("IF0000190000000000+000000000130000000;");
    QTest::newRow("nothing changes") << QByteArray("AI2;") << QVariantList{}
                                     << QByteArray("FA00001900000;FA;ID;") << QByteArray();
}

// With AI on, a session is sent the answer of a read whose value changed, whoever changed it;
// with AI0 it is sent nothing unasked.
void tst_tcp::pushes()
{
    QFETCH(QByteArray, setting);
    QFETCH(QVariantList, hostReport);
    QFETCH(QByteArray, otherSets);
    QFETCH(QByteArray, pushed);
    ChannelHarness channel;
    QVERIFY(serve(channel));
    TcpClient listening, silent, other;
    for (TcpClient* client : {&listening, &silent, &other})
        QVERIFY(client->connectTo(port));
    QCOMPARE(listening.ask(setting + "AI;"), "AI" + setting.mid(2, 1) + ";");
    QCOMPARE(silent.ask("AI0;AI;"), QByteArray("AI0;"));

    if (!hostReport.isEmpty())
        channel.bus.setCommand(hostReport);
    if (!otherSets.isEmpty())
        QVERIFY(other.write(otherSets));
    if (pushed.isEmpty())
        QCOMPARE(listening.readFor(quietMs), QByteArray());
    else
        QCOMPARE(listening.read(answerMs), pushed);
    QCOMPARE(silent.readFor(quietMs), QByteArray());
}

// A client polling while the host tunes fast gets pushes only between its answers, each whole,
// the last one carrying the last frequency.
void tst_tcp::pushesStayWhole()
{
    ChannelHarness channel;
    QVERIFY(serve(channel));
    TcpClient client;
    QVERIFY(client.connectTo(port));
    QVERIFY(client.write("AI2;"));
    QByteArray stream;
    for (int step = 1; step <= 200; ++step) {
        channel.bus.setCommand(QVariantList{19, 0u, 0u, 7000000.0 + step});
        QVERIFY(client.write("IF;FB;MD;"));
        stream += client.read(answerMs, ';', 3);
    }
    stream += client.readFor(quietMs);
    QList<QByteArray> answers;
    QVERIFY2(wholeAnswers(stream, &answers), stream.right(200).constData());
    QCOMPARE(answers.count("FB00001900000;"), 200);
    QVERIFY(answers.count() > 600);
    const QByteArray lastPush = *std::find_if(
        answers.crbegin(), answers.crend(), [](const QByteArray& a) { return a.startsWith("FA"); });
    QCOMPARE(lastPush, QByteArray("FA00007000200;"));
}

QTEST_MAIN(tst_tcp)
#include "tst_tcp.moc"
