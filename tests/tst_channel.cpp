// A channel serving a pseudo-terminal end to end: the panel's box opens the CAT port and starts
// the worker, a client's bytes arrive in every kind of slicing, answers and host commands come
// out in order, the log shows them in colour and escaped; a port that will not open, the device
// manager's link, the transmit controls, destruction while running, and floods; and the virtual
// port, a pseudo-terminal of the channel's own that a client finds by a stable path.

#include "ChannelHarness.h"
#include "ControlTestAccess.h"
#include "FakeDeviceManager.h"
#include "FakeKeyControl.h"
#include "LinkClient.h"
#include "PtyPair.h"
#include "RuntimeDirectory.h"
#include "SerialPortControl.h"
#include "TransmitControls.h"

#include <QLabel>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

using Writes = QList<QByteArray>;
using HostReports = QList<QVariantList>;

class tst_channel : public QObject
{
    Q_OBJECT

private slots:
    void panelFound();
    void serves_data();
    void serves();
    void meters_data();
    void meters();
    void nulIsAByte();
    void logInColourAndEscaped();
    void logOnlyWhileChecked();
    void logViewKeepsItsLastLines_data();
    void logViewKeepsItsLastLines();
    void refusedAnswer_data();
    void refusedAnswer();
    void reopenStartsClean();
    void failedOpen_data();
    void failedOpen();
    void deviceManager();
    void secondManagerReplacesFirst();
    void destructionWhileRunning();
    void transmitControls();
    void floods();
    void noiseBurst();
    void virtualPort();
    void nextClientStartsClean_data();
    void nextClientStartsClean();
};

namespace
{

// Opens the CAT port of `channel` on `pty` through the panel's box.
bool openCat(ChannelHarness& channel, const PtyPair& pty)
{
    channel.selectPort("cbPortName", pty.slavePath());
    channel.box("chbEnable")->setChecked(true);
    return channel.control.isRunning();
}

// Whether a port can be opened (and so is not held by a channel any more).
bool portIsFree(const QString& path)
{
    SerialPortControl probe(0);
    probe.setPortName(path);
    const bool free = probe.open(QIODevice::ReadWrite);
    probe.close();
    return free;
}

// A slow line: each write reaches the port on its own.
void writeSlowly(PtyPair& pty, const Writes& writes)
{
    for (const QByteArray& bytes : writes) {
        pty.write(bytes);
        QThread::msleep(3);
    }
}

Writes bytesOf(const QByteArray& text)
{
    Writes writes;
    for (const char c : text)
        writes << QByteArray(1, c);
    return writes;
}

const QByteArray faAnswer = "FA00001900000;";
const QByteArray fbAnswer = "FB00001900000;";

} // namespace

void tst_channel::panelFound()
{
    ChannelHarness first(0);
    ChannelHarness second(1);
    QVERIFY(first.panel);
    QVERIFY(!first.panel->parent());
    QVERIFY(!first.box("chbAntSw")->isHidden());
    QVERIFY(second.box("chbAntSw")->isHidden());
    // The three port lists come from the same discovery; only the CAT list ends with the
    // channel's own virtual port.
    QComboBox* cat = first.combo("cbPortName");
    QCOMPARE(first.combo("cbPortNamePTT")->count() + 1, cat->count());
    QCOMPARE(first.combo("cbPortNameFootSwitch")->count() + 1, cat->count());
    QCOMPARE(cat->itemText(cat->count() - 1), "Virtual port");
    QCOMPARE(first.combo("cbPortNamePTT")->findText("Virtual port"), -1);
    QVERIFY(!first.control.isRunning());
}

void tst_channel::serves_data()
{
    QTest::addColumn<Writes>("writes");
    QTest::addColumn<QByteArray>("answers");
    QTest::addColumn<QStringList>("hostCommands");

    QTest::newRow("one read") << Writes{"FA;FB;ID;"} << faAnswer + fbAnswer + "ID020;"
                              << QStringList{};
    QTest::newRow("split across reads")
        << Writes{"F", "A;F", "B;I", "D;"} << faAnswer + fbAnswer + "ID020;" << QStringList{};
    QTest::newRow("one byte at a time")
        << bytesOf("FA00007074000;MD3;FA;MD;") << QByteArray("FA00007074000;MD3;")
        << QStringList{"19 u0 u0 d7074000", "29 u0 u0 u5"};
    QTest::newRow("CR LF after ;") << Writes{"FA;\r\n", "FB;\r\n", "ID;\r\n"}
                                   << faAnswer + fbAnswer + "ID020;" << QStringList{};
    QTest::newRow("lower case") << Writes{"fa;ID;"} << QByteArray("?;ID020;") << QStringList{};
    // A client keying data PTT takes the next answer for ID's.
    QTest::newRow("TX1 then ID") << Writes{"TX1;ID;"} << QByteArray("ID020;") << QStringList{};
    QTest::newRow("sets and reads in order")
        << Writes{"MD2;FB00014074000;MD;FB;"} << QByteArray("MD2;FB00014074000;")
        << QStringList{"29 u0 u0 u4", "19 u0 u1 d14074000"};
}

void tst_channel::serves()
{
    QFETCH(Writes, writes);
    QFETCH(QByteArray, answers);
    QFETCH(QStringList, hostCommands);

    PtyPair pty;
    ChannelHarness channel;
    QVERIFY(openCat(channel, pty));

    writeSlowly(pty, writes);
    QCOMPARE(pty.read(3000, ';', int(answers.count(';'))), answers);
    QTRY_COMPARE(channel.hostCommands, hostCommands);
}

void tst_channel::meters_data()
{
    QTest::addColumn<HostReports>("reports");
    QTest::addColumn<QByteArray>("swr");
    QTest::addColumn<QByteArray>("smeter");
    // Host reports: [3 mox], [100 meterDbm], [102 meterPower], [103 meterSwr], each
    // (transmitter or receiver, channel, value); the S-meter reads S9 throughout.
    const QVariantList transmit{3, 0u, true};
    const auto power = [](double watts, quint32 transmitter = 0, quint32 channel = 0) {
        return QVariantList{102, transmitter, channel, watts};
    };
    const auto swr = [](double ratio, quint32 transmitter = 0, quint32 channel = 0) {
        return QVariantList{103, transmitter, channel, ratio};
    };
    const auto row = [](const char* name, HostReports reports, const char* swrBar,
                        const char* smeter) {
        QTest::newRow(name) << reports << QByteArray(swrBar) << QByteArray(smeter);
    };
    row("receiving", {power(100), swr(3.0)}, "0000", "0011");
    row("transmitting, nothing reported", {transmit}, "0000", "0000");
    row("on the points 100 W, 3.0", {transmit, power(100), swr(3.0)}, "0012", "0016");
    row("on the points 5 W, 1.5", {transmit, power(5), swr(1.5)}, "0004", "0002");
    row("on the points 200 W, 10.0", {transmit, power(200), swr(10.0)}, "0020", "0020");
    row("on the points 0 W, 1.0", {transmit, power(0), swr(1.0)}, "0000", "0000");
    row("between 75 W, 2.5", {transmit, power(75), swr(2.5)}, "0010", "0014");
    row("between 30 W, 6.5", {transmit, power(30), swr(6.5)}, "0016", "0008");
    row("between 7 W, 1.2", {transmit, power(7), swr(1.2)}, "0002", "0003");
    row("clamped above", {transmit, power(1000), swr(99.0)}, "0020", "0020");
    row("clamped below", {transmit, power(-5), swr(0.5)}, "0000", "0000");
    row("not a number", {transmit, power(qQNaN()), swr(qQNaN())}, "0000", "0000");
    row("another transmitter ignored", {transmit, power(50), swr(2.0), power(100, 1), swr(3.0, 1)},
        "0008", "0011");
    row("another channel ignored",
        {transmit, power(50), swr(2.0), power(100, 0, 1), swr(3.0, 0, 1)}, "0008", "0011");
    row("back to receive", {transmit, power(50), swr(2.0), {3, 0u, false}}, "0000", "0011");
}

// RM; answers SWR, compression and ALC in one reply (RM with a parameter is ignored), and SM0;
// shows the power bar while transmitting, both through the channel's port.
void tst_channel::meters()
{
    QFETCH(HostReports, reports);
    QFETCH(QByteArray, swr);
    QFETCH(QByteArray, smeter);
    PtyPair pty;
    ChannelHarness channel;
    QVERIFY(openCat(channel, pty));
    channel.bus.setCommand(QVariantList{100, 0u, 0u, -73.0});
    for (const QVariantList& report : reports)
        channel.bus.setCommand(report);

    pty.write("RM1;RM;SM0;");
    QCOMPARE(pty.read(3000, ';', 4), "RM1" + swr + ";RM20000;RM30000;SM0" + smeter + ";");
}

// A NUL (a break on a real line) is a byte like any other: nothing after it is lost.
void tst_channel::nulIsAByte()
{
    PtyPair pty;
    ChannelHarness channel;
    QVERIFY(openCat(channel, pty));

    pty.write(QByteArray(";ID;ID;\0", 8) + QByteArray("ID;").repeated(100));
    QCOMPARE(pty.read(3000, ';', 102), QByteArray("ID020;").repeated(102));
}

void tst_channel::logInColourAndEscaped()
{
    PtyPair pty;
    ChannelHarness channel;
    channel.box("chbLog")->setChecked(true);
    QVERIFY(openCat(channel, pty));

    // The piece "<b>&amp" must show as these characters, not as markup or an entity.
    pty.write("FA;<b>&amp;ID;");
    QCOMPARE(pty.read(3000, ';', 3), faAnswer + "?;ID020;");
    const QString green = QColor(Qt::darkGreen).name();
    const QString blue = QColor(Qt::blue).name();
    QTRY_COMPARE(channel.logView(), (QStringList{
                                        green + " CAT FA;",
                                        blue + " CAT " + faAnswer,
                                        green + " CAT <b>&amp;", // the piece "<b>&amp" as text
                                        blue + " CAT ?;",
                                        green + " CAT ID;",
                                        blue + " CAT ID020;",
                                    }));
}

void tst_channel::logOnlyWhileChecked()
{
    PtyPair pty;
    ChannelHarness channel;
    QVERIFY(openCat(channel, pty));

    pty.write("FA;");
    QCOMPARE(pty.read(3000), faAnswer);
    // The recorder is connected after the log view, so once it has both lines the view has
    // seen them too.
    QTRY_COMPARE(channel.logged, (QStringList{"< CAT FA;", "> CAT " + faAnswer}));
    QVERIFY(channel.logView().isEmpty());

    channel.box("chbLog")->setChecked(true);
    pty.write("FB;");
    QCOMPARE(pty.read(3000), fbAnswer);
    QTRY_COMPARE(channel.logged.size(), 4);
    // The view takes its lines in batches, a little later.
    QTRY_COMPARE(channel.logView().size(), 2);
    QVERIFY(channel.logView().first().endsWith(" FB;"));
}

void tst_channel::logViewKeepsItsLastLines_data()
{
    QTest::addColumn<int>("perWrite"); // commands per write, each write shown before the next
    QTest::newRow("as fast as the view takes them") << 150;
    QTest::newRow("one burst") << 6000;
}

// 6,000 commands, each its own line. Taken as fast as the view takes them, the oldest have
// scrolled away at 5,000 lines; in one burst the view drops what it cannot take in time and
// says how many, so that every command is either shown or counted, in order.
void tst_channel::logViewKeepsItsLastLines()
{
    QFETCH(int, perWrite);

    PtyPair pty;
    ChannelHarness channel;
    channel.box("chbLog")->setChecked(true);
    QVERIFY(openCat(channel, pty));

    // Set commands, each its own line and none answered.
    const auto command = [](int n) {
        return "FA" + QByteArray::number(n).rightJustified(11, '0') + ';';
    };
    const QTextDocument* view = channel.widget<QTextBrowser>("tbLog")->document();
    for (int first = 1; first <= 6000; first += perWrite) {
        QByteArray text;
        for (int n = first; n < first + perWrite; ++n)
            text += command(n);
        pty.write(text);
        QTRY_COMPARE_WITH_TIMEOUT(view->lastBlock().text(), "CAT " + command(first + perWrite - 1),
                                  30000);
    }
    QVERIFY(view->blockCount() <= 5000);

    static const QRegularExpression notShown(QStringLiteral("^\u2026 ([0-9,]+) lines not shown$"));
    qint64 counted = 0;
    qint64 last = 0;
    for (QTextBlock block = view->begin(); block.isValid(); block = block.next()) {
        const QRegularExpressionMatch dropped = notShown.match(block.text());
        if (dropped.hasMatch()) {
            counted += dropped.captured(1).remove(',').toLongLong();
            continue;
        }
        const qint64 n = block.text().mid(6, 11).toLongLong();
        QVERIFY2(n > last, qPrintable(block.text()));
        last = n;
        ++counted;
    }
    if (perWrite == 6000) {
        QCOMPARE(counted, qint64(6000));
    } else {
        QCOMPARE(view->blockCount(), 5000);
        QCOMPARE(view->firstBlock().text(), "CAT " + command(1001));
    }
}

// An answer the port cannot take (closed, or its device gone) is logged as not sent, with the
// reason, and counted; one it takes is logged as it went out.
void tst_channel::refusedAnswer_data()
{
    QTest::addColumn<bool>("deviceGone");
    QTest::addColumn<QString>("reason");
    QTest::newRow("port closed") << false << "port closed";
    QTest::newRow("device gone") << true << "Input/output error";
}

void tst_channel::refusedAnswer()
{
    QFETCH(bool, deviceGone);
    QFETCH(QString, reason);

    int master = -1;
    int slave = -1;
    char name[256] = {};
    QCOMPARE(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ChannelHarness channel;
    SerialPortControl port(0);
    port.setPortName(QString::fromLocal8Bit(name));
    QVERIFY(port.open(QIODevice::ReadWrite));
    PortSession session(&port);
    ControlTestAccess::execute(channel.control, "ID", {}, session);
    QTRY_COMPARE(channel.logged, QStringList{"> CAT ID020;"});

    if (deviceGone) {
        ::close(slave);
        ::close(master);
    } else {
        port.close();
    }
    ControlTestAccess::execute(channel.control, "ID", {}, session);
    QTRY_COMPARE(channel.logged.size(), 2);
    QCOMPARE(channel.logged.last(), "> CAT ID020; (answer not sent: " + reason + ")");
    QCOMPARE(channel.control.refusedAnswers(), quint64(1));
    if (!deviceGone) {
        ::close(slave);
        ::close(master);
    }
}

void tst_channel::reopenStartsClean()
{
    PtyPair pty;
    FakeDeviceManager manager;
    ChannelHarness channel;
    channel.control.setManager(&manager);
    QVERIFY(openCat(channel, pty));
    QCOMPARE(manager.calls(), (QList<CatEnableCall>{{0, true}}));

    // "F" is read together with "ID;" and waits for its ";".
    pty.write("ID;F");
    QCOMPARE(pty.read(3000), QByteArray("ID020;"));
    channel.box("chbEnable")->setChecked(false);
    QVERIFY(!channel.control.isRunning());
    QVERIFY(portIsFree(pty.slavePath()));
    QCOMPARE(manager.calls(), (QList<CatEnableCall>{{0, true}, {0, false}}));

    // A fresh worker: the old "F" is gone, so "A;" alone is no command.
    channel.box("chbEnable")->setChecked(true);
    QVERIFY(channel.control.isRunning());
    pty.write("A;FA;");
    QCOMPARE(pty.read(3000, ';', 2), "?;" + faAnswer);
    QCOMPARE(manager.count(), 3);
}

void tst_channel::failedOpen_data()
{
    QTest::addColumn<bool>("busy");
    QTest::newRow("no such device") << false;
    QTest::newRow("held by another channel") << true;
}

void tst_channel::failedOpen()
{
    QFETCH(bool, busy);

    PtyPair pty;
    ChannelHarness holder(1);
    if (busy)
        QVERIFY(openCat(holder, pty));
    const QString name = busy ? pty.slavePath() : QStringLiteral("/dev/no-such-cat-port");

    FakeDeviceManager manager;
    ChannelHarness channel;
    channel.control.setManager(&manager);
    channel.selectPort("cbPortName", name);
    ModalCatcher catcher;
    channel.box("chbEnable")->setChecked(true);

    QVERIFY2(catcher.text.startsWith("Can't open " + name + "\n"), qPrintable(catcher.text));
    const QString reason = catcher.text.mid(QString("Can't open " + name + "\n").size());
    QVERIFY(!reason.isEmpty());
    if (busy)
        QVERIFY2(reason.contains("busy", Qt::CaseInsensitive), qPrintable(reason));
    QVERIFY2(catcher.width >= 500, qPrintable(QString::number(catcher.width)));
    QVERIFY(!channel.box("chbEnable")->isChecked());
    QVERIFY(channel.combo("cbPortName")->isEnabled());
    QVERIFY(!channel.control.isRunning());
    QCOMPARE(manager.count(), 0);
}

void tst_channel::deviceManager()
{
    PtyPair pty0;
    PtyPair pty1;
    FakeDeviceManager manager;
    ChannelHarness channel0(0);
    ChannelHarness channel1(1);
    channel0.selectPort("cbPortName", pty0.slavePath());
    channel1.selectPort("cbPortName", pty1.slavePath());
    channel0.control.setManager(&manager);
    channel1.control.setManager(&manager);

    manager.announce(1, true);
    QVERIFY(!channel0.control.isRunning());
    QVERIFY(channel1.control.isRunning());
    QVERIFY(channel1.box("chbEnable")->isChecked());
    QCOMPARE(manager.calls(), (QList<CatEnableCall>{{1, true}}));

    // Already open: nothing happens and nothing is reported.
    manager.announce(1, true);
    QVERIFY(QMetaObject::invokeMethod(&channel1.control, "openCAT", Q_ARG(bool, true)));
    QCOMPARE(manager.count(), 1);

    pty1.write("ID;");
    QCOMPARE(pty1.read(3000), QByteArray("ID020;"));

    manager.announce(1, false);
    QVERIFY(!channel1.control.isRunning());
    QVERIFY(!channel1.box("chbEnable")->isChecked());
    // Closing what is closed does nothing either.
    QVERIFY(QMetaObject::invokeMethod(&channel1.control, "openCAT", Q_ARG(bool, false)));
    QCOMPARE(manager.calls(), (QList<CatEnableCall>{{1, true}, {1, false}}));
    QCOMPARE(manager.last().thread, QThread::currentThread());
}

void tst_channel::secondManagerReplacesFirst()
{
    PtyPair pty;
    FakeDeviceManager first;
    FakeDeviceManager second;
    ChannelHarness channel;
    channel.selectPort("cbPortName", pty.slavePath());
    channel.control.setManager(&first);
    channel.control.setManager(&second);

    first.announce(0, true);
    QVERIFY(!channel.control.isRunning());
    second.announce(0, true);
    QVERIFY(channel.control.isRunning());
    QCOMPARE(first.count(), 0);
    QCOMPARE(second.calls(), (QList<CatEnableCall>{{0, true}}));

    channel.control.setManager(nullptr);
    second.announce(0, false);
    QVERIFY(channel.control.isRunning());
}

void tst_channel::destructionWhileRunning()
{
    PtyPair pty;
    PtyPair pttPty;
    FakeDeviceManager manager;
    {
        ChannelHarness channel;
        channel.control.setManager(&manager);
        QVERIFY(openCat(channel, pty));
        channel.selectPort("cbPortNamePTT", pttPty.slavePath());
        channel.box("chbEnablePtt")->setChecked(true);
        QVERIFY(!portIsFree(pttPty.slavePath()));
        // Keep the worker busy with a batch while the channel goes away.
        pty.write(QByteArray("FA;").repeated(200));
    }
    QCOMPARE(manager.last(), (CatEnableCall{0, false}));
    QVERIFY(portIsFree(pty.slavePath()));
    QVERIFY(portIsFree(pttPty.slavePath()));
}

void tst_channel::transmitControls()
{
    PtyPair pttPty;
    ChannelHarness channel;
    channel.selectPort("cbPortNamePTT", pttPty.slavePath());
    channel.box("chbEnablePtt")->setChecked(true);
    QVERIFY(!portIsFree(pttPty.slavePath()));
    channel.combo("cbPttLine")->setCurrentIndex(2);
    channel.combo("cbKeyLine")->setCurrentIndex(1);

    channel.control.setTxAvailable(false);
    QVERIFY(!channel.box("chbEnablePtt")->isChecked());
    QVERIFY(portIsFree(pttPty.slavePath()));
    QCOMPARE(channel.combo("cbPttLine")->currentIndex(), 0);
    QCOMPARE(channel.combo("cbKeyLine")->currentIndex(), 0);
    for (const char* name : transmitControlNames)
        QVERIFY2(channel.widget<QWidget>(name)->isHidden(), name);
    QVERIFY(!channel.box("chbEnable")->isHidden());

    channel.control.setTxAvailable(true);
    for (const char* name : transmitControlNames)
        QVERIFY2(!channel.widget<QWidget>(name)->isHidden(), name);
    QVERIFY(!channel.box("chbEnablePtt")->isChecked());
    QVERIFY(!channel.box("chbEnableFootswitch")->isChecked());
    QCOMPARE(channel.combo("cbPttLine")->currentIndex(), 0);
    QVERIFY(portIsFree(pttPty.slavePath()));
}

// A megabyte of noise without ";" ends as one dropped line: no answer, no log line; then
// thousands of commands written while the answers are read are all answered in order.
void tst_channel::floods()
{
    PtyPair pty;
    ChannelHarness channel;
    channel.box("chbLog")->setChecked(true);
    QVERIFY(openCat(channel, pty));

    QByteArray noise(1 << 20, Qt::Uninitialized);
    QRandomGenerator random(480);
    for (char& c : noise) {
        c = char(random.bounded(1, 256));
        if (c == ';')
            c = 'X';
    }
    pty.write(noise + ";ID;");
    QCOMPARE(pty.read(10000), QByteArray("ID020;"));
    QTRY_COMPARE(channel.logged, (QStringList{"< CAT ID;", "> CAT ID020;"}));

    constexpr int commands = 3000;
    std::thread client([&pty] { pty.write(QByteArray("FA;").repeated(commands)); });
    const QByteArray answers = pty.read(30000, ';', commands);
    client.join();
    QCOMPARE(answers, faAnswer.repeated(commands));
}

// Line noise before, between and inside commands, in one burst: every command with only noise
// before it is answered in order; a command with noise after its letters does nothing; the
// transmitter is keyed and released exactly by the TX and RX that arrived whole.
void tst_channel::noiseBurst()
{
    PtyPair pty;
    // Made before the channel, which calls it until it is gone.
    FakeKeyControl key;
    ChannelHarness channel;
    channel.announceKeyObject(&key);
    QVERIFY(openCat(channel, pty));

    QRandomGenerator random(16);
    // Any byte but a capital letter, ";" and "?" (a piece of "?" alone is never answered).
    const auto noise = [&random](int most) {
        QByteArray bytes(random.bounded(1, most + 1), Qt::Uninitialized);
        for (char& c : bytes)
            do
                c = char(random.bounded(256));
            while ((c >= 'A' && c <= 'Z') || c == ';' || c == '?');
        return bytes;
    };
    const auto isParameter = [](char c) { return c == ' ' || (c >= '0' && c <= '9'); };
    struct Item {
        QByteArray command;
        QByteArray answer;
        int keying; // 1 keyed, 0 released, -1 neither
    };
    const Item items[] = {
        {"ID", "ID020;", -1}, {"TX", "", 1},     {"FA", faAnswer, -1}, {"RX", "RX0;", 0},
        {"TX1", "", 1},       {"RX", "RX0;", 0}, {"", "?;", -1},
    };
    QByteArray burst;
    QByteArray answers;
    QList<KeyCall> keying;
    for (int i = 0; i < 400; ++i) {
        const Item& item = items[random.bounded(int(std::size(items)))];
        // One in four commands gets a byte that is neither digit nor space after its letters.
        const bool spoiled = !item.command.isEmpty() && random.bounded(4) == 0;
        QByteArray tail = spoiled ? noise(3) : QByteArray();
        if (spoiled && std::all_of(tail.begin(), tail.end(), isParameter))
            tail.append('\xff');
        burst += noise(6) + item.command + tail + ';';
        if (spoiled)
            continue;
        answers += item.answer;
        if (item.keying >= 0)
            keying << KeyCall::trx(0, 2, item.keying == 1);
    }
    pty.write(burst + "ID;");
    QCOMPARE(pty.read(10000, ';', int(answers.count(';')) + 1), answers + "ID020;");
    QCOMPARE(key.calls(), keying);
}

namespace
{

// How a client opens the virtual port: as it is, or with echo and line editing switched on, as a
// terminal program or "stty sane" leaves a line.
enum class Client { Plain, Echoing };

// Writes `command` as a client of `path` and returns what came back until the last answer, an
// ID's, and then for a while longer: a line that loops shows here.
QByteArray ask(const QString& path, Client kind = Client::Plain, const QByteArray& command = "ID;")
{
    const int client = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (client < 0)
        return "open failed";
    termios tio{};
    if (kind == Client::Echoing && ::tcgetattr(client, &tio) == 0) {
        tio.c_lflag |= ECHO | ICANON | ISIG | IEXTEN;
        tio.c_iflag |= ICRNL;
        tio.c_oflag |= OPOST;
        ::tcsetattr(client, TCSANOW, &tio);
    }
    QByteArray answer;
    const auto take = [&] {
        char buffer[256];
        const ssize_t n = ::read(client, buffer, sizeof buffer);
        if (n > 0)
            answer.append(buffer, n);
    };
    if (::write(client, command.constData(), size_t(command.size())) == command.size() &&
        QTest::qWaitFor([&] { return take(), answer.endsWith("ID020;"); }, 3000)) {
        // An echoing line would go on talking to itself.
        QTest::qWait(200);
        take();
    }
    ::close(client);
    return answer;
}

} // namespace

void tst_channel::virtualPort()
{
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    const RuntimeDirectory environment(runtime.path());
    const QString path = runtime.filePath("kenwood-ts480/RX2");

    ChannelHarness channel(1);
    channel.box("chbLog")->setChecked(true);
    QComboBox* pttLine = channel.combo("cbPttLine");
    pttLine->setCurrentIndex(1);
    QComboBox* names = channel.combo("cbPortName");
    const auto* shown = channel.widget<QLabel>("lbVirtualPath");
    QVERIFY(!shown->isVisibleTo(channel.panel));

    // Chosen: the path is there to copy, and CAT-line keying is not offered.
    names->setCurrentIndex(names->count() - 1);
    QCOMPARE(shown->text(), path);
    QVERIFY(shown->isVisibleTo(channel.panel));
    QVERIFY(shown->textInteractionFlags() & Qt::TextSelectableByMouse);
    QVERIFY(!pttLine->isEnabled());

    channel.box("chbEnable")->setChecked(true);
    QVERIFY(channel.control.isRunning());
    QCOMPARE(QFileInfo(path).isSymLink(), true);
    QVERIFY(channel.logView().value(0).endsWith(" Virtual port: " + path));
    // Connections one after the other, all served.
    QCOMPARE(ask(path), QByteArray("ID020;"));
    QCOMPARE(ask(path), QByteArray("ID020;"));
    // A client that turns echo on gets each answer once, executes none of them, and starts
    // no endless exchange of "?;".
    channel.hostCommands.clear();
    const QByteArray reads = "ZZ;FA;PS;ID;";
    QCOMPARE(ask(path, Client::Echoing, reads), QByteArray("?;FA00001900000;PS0;ID020;"));
    QCOMPARE(ask(path, Client::Echoing, reads), QByteArray("?;FA00001900000;PS0;ID020;"));
    QCOMPARE(channel.hostCommands, QStringList());
    QTRY_COMPARE(channel.logView().filter("switched back off").size(), 1);

    channel.box("chbEnable")->setChecked(false);
    QVERIFY(!QFileInfo(path).isSymLink());
    QCOMPARE(ask(path), QByteArray("open failed"));
    QVERIFY(!pttLine->isEnabled());
    channel.box("chbEnable")->setChecked(true);
    QCOMPARE(ask(path), QByteArray("ID020;"));
    channel.box("chbEnable")->setChecked(false);

    // Back on a real port, the CAT lines are offered again.
    names->setCurrentIndex(0);
    QVERIFY(pttLine->isEnabled());
    QVERIFY(!shown->isVisibleTo(channel.panel));
}

void tst_channel::nextClientStartsClean_data()
{
    QTest::addColumn<QByteArray>("written"); // by the client that leaves, which reads nothing
    QTest::addColumn<int>("executed");       // log lines to wait for before it leaves
    QTest::addColumn<bool>("exclusive");     // it takes the line for itself first

    QTest::newRow("three answers unread") << QByteArray("ID;FA;SM0;") << 6 << false;
    QTest::newRow("flood, answers and commands waiting")
        << QByteArray("IF;").repeated(100000) << 2000 << false;
    QTest::newRow("exclusive mode, nothing written") << QByteArray() << 0 << true;
}

// A client of the virtual port leaves (closing is what the system does for one that dies too):
// the next one gets only its own answers, and may open the line whatever mode the last one left.
void tst_channel::nextClientStartsClean()
{
    QFETCH(QByteArray, written);
    QFETCH(int, executed);
    QFETCH(bool, exclusive);

    QTemporaryDir runtime;
    const RuntimeDirectory environment(runtime.path());
    const QString path = runtime.filePath("kenwood-ts480/RX1");
    ChannelHarness channel;
    QComboBox* names = channel.combo("cbPortName");
    names->setCurrentIndex(names->count() - 1);
    channel.box("chbEnable")->setChecked(true);
    QVERIFY(channel.control.isRunning());
    {
        LinkClient client(path);
        QVERIFY(client.isOpen());
        if (exclusive)
            QVERIFY(client.takeExclusive());
        QVERIFY(client.write(written));
        QTRY_VERIFY(channel.logged.size() >= executed);
    }
    QTRY_COMPARE(channel.logView().filter("Client left").size(), 1);
    const qsizetype logged = channel.logged.size();

    LinkClient next(path);
    QVERIFY(next.isOpen());
    // Read back: the test may run as root, which exclusive mode lets in anyway.
    QVERIFY(!next.isExclusive());
    QVERIFY(next.write("FB;"));
    QCOMPARE(next.read(3000), fbAnswer);
    QTRY_COMPARE(channel.logged.mid(logged).filter("FB"),
                 (QStringList{"< CAT FB;", "> CAT " + fbAnswer}));
}

QTEST_MAIN(tst_channel)
#include "tst_channel.moc"
