// Keying from modem lines, with the lines injected through the process-wide line source:
// the CAT port's CTS and DSR through each cbPttLine/cbKeyLine choice (from the worker thread,
// with the CAT port's line poll running only while a line is chosen, also when the choice
// changes while the port is open),
// the PTT and footswitch ports through their boxes (from the GUI thread), the line poll timer
// running exactly while one of those two ports is open, the key object taken from the bus
// at every change, and what the CAT port keyed released once when its keyer goes away. Then the
// CW text of KY: keyed by a thread of the keyer's own, in CW only, whole or not at all, and
// stopped, with the key up at once and the text gone, by RX, a CAT line going active, the host
// leaving CW and the port closing.

#include "ChannelHarness.h"
#include "ControlTestAccess.h"
#include "FakeKeyControl.h"
#include "LineStatusSource.h"
#include "LinkClient.h"
#include "PtyPair.h"
#include "RuntimeDirectory.h"
#include "SerialTypes.h"
#include "VirtualPort.h"

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <functional>
#include <memory>

using Calls = QList<KeyCall>;

class tst_keying : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void catLines_data();
    void catLines();
    void catLineChoiceWhileRunning();
    void keyingPorts_data();
    void keyingPorts();
    void changeWhileUntickedIsConsumed();
    void timerRunsWhileAPortIsOpen_data();
    void timerRunsWhileAPortIsOpen();
    void keyObjectTakenAtEveryChange();
    void keyingPortFailsToOpen();
    void releasedWithItsKeyer_data();
    void releasedWithItsKeyer();
    void cwText_data();
    void cwText();
    void cwTextFillsTheKeyer();
    void cwTextStops_data();
    void cwTextStops();
};

namespace
{

constexpr ulong cts = LS_CTS;
constexpr ulong dsr = LS_DSR;

// The modem lines of three pseudo-terminals, answered by device path, and a count of the
// backends' polls of each.
class Lines
{
public:
    Lines(const QString& cat, const QString& ptt, const QString& footSwitch)
        : m_paths{cat, ptt, footSwitch}
    {
        LineStatusSource::set([this](const QString& path) -> ulong {
            for (int i = 0; i < 3; ++i)
                if (path == m_paths[i]) {
                    ++m_polls[i];
                    return m_bits[i].load();
                }
            return 0;
        });
    }
    ~Lines() { LineStatusSource::set(nullptr); }

    enum Port { Cat, Ptt, FootSwitch };
    void set(Port port, ulong bits) { m_bits[port] = bits; }
    int polls(Port port) const { return m_polls[port].load(); }

private:
    QString m_paths[3];
    std::atomic<ulong> m_bits[3]{};
    std::atomic<int> m_polls[3]{};
};

bool spinUntil(const std::function<bool()>& done, int ms = 5000)
{
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Waits until the CAT port's backend has polled the lines as they are now and the worker has
// finished a whole turn after that: its line reads follow the batch of the first "ID;". With
// no CAT line chosen (`polled` false) no poll may run at all.
bool settleCat(Lines& lines, PtyPair& pty, bool polled = true)
{
    const int start = lines.polls(Lines::Cat);
    if (polled && !spinUntil([&] { return lines.polls(Lines::Cat) >= start + 2; }))
        return false;
    for (int i = 0; i < 2; ++i) {
        pty.write("ID;");
        if (pty.read(3000) != "ID020;")
            return false;
    }
    return polled || lines.polls(Lines::Cat) == start;
}

bool allOnThread(const Calls& calls, QThread* thread)
{
    return std::all_of(calls.begin(), calls.end(),
                       [thread](const KeyCall& call) { return call.thread == thread; });
}

// A channel serving its CAT port on a pseudo-terminal, with a key object, for the CW text.
class CwChannel
{
public:
    bool open(int pttRow = 0, int keyRow = 0)
    {
        channel.announceKeyObject(&key);
        channel.combo("cbPttLine")->setCurrentIndex(pttRow);
        channel.combo("cbKeyLine")->setCurrentIndex(keyRow);
        channel.selectPort("cbPortName", pty.slavePath());
        channel.box("chbEnable")->setChecked(true);
        return channel.control.isRunning() && settleCat(lines, pty, pttRow != 0 || keyRow != 0);
    }
    // Writes `commands` and returns the answer they end with (nothing: no answer is awaited).
    QByteArray send(const QByteArray& commands, bool answered = true)
    {
        pty.write(commands);
        return answered ? pty.read(3000) : QByteArray();
    }
    // The key calls of the keyer's own thread: neither this one nor the worker.
    Calls keyerCalls() const
    {
        Calls calls;
        for (const KeyCall& call : key.calls())
            if (call.thread != QThread::currentThread() && call.thread != &channel.control)
                calls << call;
        return calls;
    }
    bool logged(const QString& text) const { return channel.logView().join('\n').contains(text); }

    PtyPair pty;
    Lines lines{pty.slavePath(), {}, {}};
    FakeKeyControl key;
    ChannelHarness channel;
};

// `count` key-downs, each followed by its key-up.
Calls pressed(int count)
{
    Calls calls;
    for (int i = 0; i < count; ++i)
        calls << KeyCall::key(0, 2, true) << KeyCall::key(0, 2, false);
    return calls;
}

} // namespace

void tst_keying::cleanup()
{
    LineStatusSource::set(nullptr);
}

void tst_keying::catLines_data()
{
    QTest::addColumn<int>("pttRow");
    QTest::addColumn<int>("keyRow");
    QTest::addColumn<ulong>("line");
    QTest::addColumn<Calls>("atOpen"); // the first poll finds both lines released
    QTest::addColumn<Calls>("onRaise");

    const auto trx = [](bool on) { return KeyCall::trx(0, 2, on); };
    const auto key = [](bool down) { return KeyCall::key(0, 2, down); };

    QTest::newRow("None, None, CTS") << 0 << 0 << cts << Calls{} << Calls{};
    QTest::newRow("PTT RTS, CTS") << 2 << 0 << cts << Calls{trx(false)} << Calls{trx(true)};
    QTest::newRow("key RTS, CTS") << 0 << 2 << cts << Calls{key(false)} << Calls{key(true)};
    QTest::newRow("PTT DTR, DSR") << 1 << 0 << dsr << Calls{trx(false)} << Calls{trx(true)};
    QTest::newRow("key DTR, DSR") << 0 << 1 << dsr << Calls{key(false)} << Calls{key(true)};
    QTest::newRow("both RTS, CTS drives both")
        << 2 << 2 << cts << Calls{trx(false), key(false)} << Calls{trx(true), key(true)};
    QTest::newRow("both DTR, DSR drives both")
        << 1 << 1 << dsr << Calls{trx(false), key(false)} << Calls{trx(true), key(true)};
    QTest::newRow("PTT DTR, key RTS, CTS")
        << 1 << 2 << cts << Calls{key(false), trx(false)} << Calls{key(true)};
    QTest::newRow("PTT RTS, DSR unselected") << 2 << 0 << dsr << Calls{trx(false)} << Calls{};
    QTest::newRow("key DTR, CTS unselected") << 0 << 1 << cts << Calls{key(false)} << Calls{};
}

void tst_keying::catLines()
{
    QFETCH(int, pttRow);
    QFETCH(int, keyRow);
    QFETCH(ulong, line);
    QFETCH(Calls, atOpen);
    QFETCH(Calls, onRaise);

    PtyPair pty;
    Lines lines(pty.slavePath(), {}, {});
    FakeKeyControl key;
    ChannelHarness channel;
    channel.announceKeyObject(&key);
    channel.combo("cbPttLine")->setCurrentIndex(pttRow);
    channel.combo("cbKeyLine")->setCurrentIndex(keyRow);
    channel.selectPort("cbPortName", pty.slavePath());
    channel.box("chbEnable")->setChecked(true);
    QVERIFY(channel.control.isRunning());
    const bool polled = pttRow != 0 || keyRow != 0;
    QCOMPARE(ControlTestAccess::catLinePollActive(channel.control), polled);

    QVERIFY(settleCat(lines, pty, polled));
    Calls expected = atOpen;
    QCOMPARE(key.calls(), expected);

    lines.set(Lines::Cat, line);
    QVERIFY(settleCat(lines, pty, polled));
    expected += onRaise;
    QCOMPARE(key.calls(), expected);

    lines.set(Lines::Cat, 0);
    QVERIFY(settleCat(lines, pty, polled));
    for (KeyCall call : onRaise) {
        call.state = false;
        expected << call;
    }
    QCOMPARE(key.calls(), expected);
    QVERIFY(allOnThread(key.calls(), &channel.control));
}

// The choice changes while the port is open: the line poll starts and stops with it, a change
// made while nothing watched is not replayed when a line is chosen again, and the next change
// keys at once.
void tst_keying::catLineChoiceWhileRunning()
{
    PtyPair pty;
    Lines lines(pty.slavePath(), {}, {});
    FakeKeyControl key;
    ChannelHarness channel;
    channel.announceKeyObject(&key);
    channel.selectPort("cbPortName", pty.slavePath());
    channel.box("chbEnable")->setChecked(true);
    QVERIFY(settleCat(lines, pty, false));
    QVERIFY(!ControlTestAccess::catLinePollActive(channel.control));

    QComboBox* pttLine = channel.combo("cbPttLine");
    pttLine->setCurrentIndex(2);
    QVERIFY(ControlTestAccess::catLinePollActive(channel.control));
    // No byte arrives to wake the worker: the choice itself must have done so.
    lines.set(Lines::Cat, cts);
    QTRY_COMPARE(key.calls(), Calls{KeyCall::trx(0, 2, true)});

    pttLine->setCurrentIndex(0);
    QVERIFY(!ControlTestAccess::catLinePollActive(channel.control));
    lines.set(Lines::Cat, 0);
    QVERIFY(settleCat(lines, pty, false));

    pttLine->setCurrentIndex(2);
    QVERIFY(settleCat(lines, pty));
    QCOMPARE(key.count(), 1);
    lines.set(Lines::Cat, cts);
    QTRY_COMPARE(key.count(), 2);
    QCOMPARE(key.last(), KeyCall::trx(0, 2, true));
    QVERIFY(allOnThread(key.calls(), &channel.control));
}

void tst_keying::keyingPorts_data()
{
    QTest::addColumn<bool>("footSwitch");
    QTest::addColumn<QString>("ticked"); // boxes ticked, by object name
    QTest::addColumn<ulong>("line");
    QTest::addColumn<Calls>("atOpen");
    QTest::addColumn<quint32>("source");

    const auto trx = [](quint32 source) { return KeyCall::trx(0, source, false); };

    QTest::newRow("PTT RTS box, CTS") << false << "chbRTS" << cts << Calls{trx(3)} << 3u;
    QTest::newRow("PTT DTR box, DSR") << false << "chbDTR" << dsr << Calls{trx(3)} << 3u;
    QTest::newRow("PTT both boxes, CTS")
        << false << "chbRTS chbDTR" << cts << Calls{trx(3), trx(3)} << 3u;
    QTest::newRow("footswitch RTS box, CTS")
        << true << "chbRTS_FootSwitch" << cts << Calls{trx(4)} << 4u;
    QTest::newRow("footswitch DTR box, DSR")
        << true << "chbDTR_FootSwitch" << dsr << Calls{trx(4)} << 4u;
}

void tst_keying::keyingPorts()
{
    QFETCH(bool, footSwitch);
    QFETCH(QString, ticked);
    QFETCH(ulong, line);
    QFETCH(Calls, atOpen);
    QFETCH(quint32, source);

    PtyPair pty;
    Lines lines({}, footSwitch ? QString() : pty.slavePath(),
                footSwitch ? pty.slavePath() : QString());
    const Lines::Port port = footSwitch ? Lines::FootSwitch : Lines::Ptt;
    FakeKeyControl key;
    ChannelHarness channel;
    channel.announceKeyObject(&key);
    for (const QString& name : ticked.split(' '))
        channel.box(qPrintable(name))->setChecked(true);
    channel.selectPort(footSwitch ? "cbPortNameFootSwitch" : "cbPortNamePTT", pty.slavePath());
    channel.box(footSwitch ? "chbEnableFootswitch" : "chbEnablePtt")->setChecked(true);
    QVERIFY(ControlTestAccess::linePollActive(channel.control));

    QTRY_COMPARE(key.calls(), atOpen);
    lines.set(port, line);
    QTRY_COMPARE(key.calls(), atOpen + Calls{KeyCall::trx(0, source, true)});
    lines.set(port, 0);
    const Calls pressAndRelease{KeyCall::trx(0, source, true), KeyCall::trx(0, source, false)};
    QTRY_COMPARE(key.calls(), atOpen + pressAndRelease);
    QVERIFY(allOnThread(key.calls(), QThread::currentThread()));
}

// CTS changes while its box is unticked; DSR, ticked, changes in the same poll and shows when
// that poll has been handled. Ticking the CTS box afterwards must not replay the old change.
void tst_keying::changeWhileUntickedIsConsumed()
{
    PtyPair pty;
    Lines lines({}, pty.slavePath(), {});
    FakeKeyControl key;
    ChannelHarness channel;
    channel.announceKeyObject(&key);
    channel.box("chbDTR")->setChecked(true);
    channel.selectPort("cbPortNamePTT", pty.slavePath());
    channel.box("chbEnablePtt")->setChecked(true);
    QTRY_COMPARE(key.calls(), Calls{KeyCall::trx(0, 3, false)});

    lines.set(Lines::Ptt, cts | dsr);
    QTRY_COMPARE(key.count(), 2);
    channel.box("chbRTS")->setChecked(true);
    lines.set(Lines::Ptt, cts);
    QTRY_COMPARE(key.count(), 3);
    QCOMPARE(key.calls(), (Calls{KeyCall::trx(0, 3, false), KeyCall::trx(0, 3, true),
                                 KeyCall::trx(0, 3, false)}));
}

void tst_keying::timerRunsWhileAPortIsOpen_data()
{
    QTest::addColumn<bool>("footSwitchFirst");
    QTest::addColumn<bool>("footSwitchClosesFirst");
    QTest::newRow("PTT first, PTT closes first") << false << false;
    QTest::newRow("PTT first, footswitch closes first") << false << true;
    QTest::newRow("footswitch first, PTT closes first") << true << false;
    QTest::newRow("footswitch first, footswitch closes first") << true << true;
}

void tst_keying::timerRunsWhileAPortIsOpen()
{
    QFETCH(bool, footSwitchFirst);
    QFETCH(bool, footSwitchClosesFirst);

    PtyPair pttPty;
    PtyPair footPty;
    Lines lines({}, pttPty.slavePath(), footPty.slavePath());
    FakeKeyControl key;
    ChannelHarness channel;
    channel.announceKeyObject(&key);
    channel.box("chbRTS")->setChecked(true);
    channel.box("chbRTS_FootSwitch")->setChecked(true);
    channel.selectPort("cbPortNamePTT", pttPty.slavePath());
    channel.selectPort("cbPortNameFootSwitch", footPty.slavePath());
    QCheckBox* ptt = channel.box("chbEnablePtt");
    QCheckBox* footSwitch = channel.box("chbEnableFootswitch");
    QVERIFY(!ControlTestAccess::linePollActive(channel.control));

    (footSwitchFirst ? footSwitch : ptt)->setChecked(true);
    QVERIFY(ControlTestAccess::linePollActive(channel.control));
    (footSwitchFirst ? ptt : footSwitch)->setChecked(true);
    QVERIFY(ControlTestAccess::linePollActive(channel.control));
    QTRY_COMPARE(key.count(), 2); // both ports' first polls

    (footSwitchClosesFirst ? footSwitch : ptt)->setChecked(false);
    QVERIFY(ControlTestAccess::linePollActive(channel.control));
    // The port still open is still polled.
    lines.set(footSwitchClosesFirst ? Lines::Ptt : Lines::FootSwitch, cts);
    QTRY_COMPARE(key.last(), KeyCall::trx(0, footSwitchClosesFirst ? 3 : 4, true));

    (footSwitchClosesFirst ? ptt : footSwitch)->setChecked(false);
    QVERIFY(!ControlTestAccess::linePollActive(channel.control));
}

// Without a key object changes are read and dropped; once the host announces one, the next
// change reaches it.
void tst_keying::keyObjectTakenAtEveryChange()
{
    PtyPair pty;
    Lines lines(pty.slavePath(), {}, {});
    FakeKeyControl key;
    ChannelHarness channel;
    channel.combo("cbPttLine")->setCurrentIndex(2);
    channel.selectPort("cbPortName", pty.slavePath());
    channel.box("chbEnable")->setChecked(true);
    lines.set(Lines::Cat, cts);
    QVERIFY(settleCat(lines, pty));

    channel.announceKeyObject(&key);
    QVERIFY(settleCat(lines, pty));
    QCOMPARE(key.count(), 0);
    lines.set(Lines::Cat, 0);
    QVERIFY(settleCat(lines, pty));
    QCOMPARE(key.calls(), Calls{KeyCall::trx(0, 2, false)});

    channel.announceKeyObject(nullptr);
    lines.set(Lines::Cat, cts);
    QVERIFY(settleCat(lines, pty));
    QCOMPARE(key.count(), 1);
}

void tst_keying::keyingPortFailsToOpen()
{
    ChannelHarness channel;
    channel.selectPort("cbPortNameFootSwitch", "/dev/no-such-footswitch");
    ModalCatcher catcher;
    channel.box("chbEnableFootswitch")->setChecked(true);
    QVERIFY2(catcher.text.startsWith("Can't open /dev/no-such-footswitch\n"),
             qPrintable(catcher.text));
    QVERIFY(catcher.text.size() > QString("Can't open /dev/no-such-footswitch\n").size());
    QVERIFY(!channel.box("chbEnableFootswitch")->isChecked());
    QVERIFY(channel.combo("cbPortNameFootSwitch")->isEnabled());
    QVERIFY(!ControlTestAccess::linePollActive(channel.control));
}

void tst_keying::releasedWithItsKeyer_data()
{
    QTest::addColumn<QString>("keyer");  // "TX;", or the CAT line box that chooses RTS
    QTest::addColumn<QString>("ending"); // what takes the keyer away
    QTest::addColumn<KeyCall>("release");
    QTest::addColumn<QString>("logged"); // the log view's line about it

    const KeyCall trx = KeyCall::trx(0, 2, false);
    const KeyCall key = KeyCall::key(0, 2, false);
    QTest::newRow("TX, client leaves the virtual port")
        << "TX;"
        << "client left" << trx << "Transmitter released: client left";
    QTest::newRow("TX, port closed") << "TX;"
                                     << "port closed" << trx << "Transmitter released: port closed";
    QTest::newRow("TX, line hangs up") << "TX;"
                                       << "line lost" << trx << "Transmitter released: line lost";
    QTest::newRow("TX, channel deleted") << "TX;"
                                         << "channel deleted" << trx << "";
    QTest::newRow("CAT line PTT, port closed")
        << "cbPttLine"
        << "port closed" << trx << "Transmitter released: port closed";
    QTest::newRow("CAT line key, line hangs up")
        << "cbKeyLine"
        << "line lost" << key << "CW key released: line lost";
}

// Keyed through the CAT port, then the keyer goes: one release, logged, and none later when the
// channel goes as well.
void tst_keying::releasedWithItsKeyer()
{
    QFETCH(QString, keyer);
    QFETCH(QString, ending);
    QFETCH(KeyCall, release);
    QFETCH(QString, logged);

    QTemporaryDir runtime;
    const RuntimeDirectory environment(runtime.path());
    PtyPair pty;
    Lines lines(pty.slavePath(), {}, {});
    FakeKeyControl key;
    auto channel = std::make_unique<ChannelHarness>();
    channel->announceKeyObject(&key);
    const bool virtualPort = ending == "client left";
    if (virtualPort) {
        QComboBox* names = channel->combo("cbPortName");
        names->setCurrentIndex(names->findText(VirtualPort::itemName()));
    } else {
        channel->selectPort("cbPortName", pty.slavePath());
    }
    if (keyer != "TX;")
        channel->combo(qPrintable(keyer))->setCurrentIndex(2);
    channel->box("chbEnable")->setChecked(true);
    QVERIFY(channel->control.isRunning());

    LinkClient client(VirtualPort::linkPath("RX1"));
    if (keyer == "TX;") {
        QVERIFY(virtualPort ? client.write("TX;") : pty.write("TX;"));
        QTRY_COMPARE(key.calls(), Calls{KeyCall::trx(0, 2, true)});
    } else {
        QTRY_COMPARE(key.count(), 1); // the first poll finds the line released
        lines.set(Lines::Cat, cts);
        QTRY_COMPARE(key.count(), 2);
    }
    key.clear();

    if (virtualPort)
        client.close();
    else if (ending == "port closed")
        channel->box("chbEnable")->setChecked(false);
    else if (ending == "line lost")
        pty.hangUp();
    else
        channel.reset();
    QTRY_COMPARE(key.calls(), Calls{release});
    if (!logged.isEmpty())
        QTRY_VERIFY2(channel->logView().join('\n').contains(logged),
                     qPrintable(channel->logView().join('\n')));
    channel.reset();
    QCOMPARE(key.calls(), Calls{release});
}

void tst_keying::cwText_data()
{
    QTest::addColumn<QByteArray>("commands");
    QTest::addColumn<int>("elements"); // keyed before the closing "T"
    QTest::addColumn<QString>("logged");
    QTest::newRow("a letter") << QByteArray("KY A;") << 2 << "";
    QTest::newRow("lower case, padded") << QByteArray("KY e                      ;") << 1 << "";
    QTest::newRow("one character per command") << QByteArray("KY E;KY  ;KY I;") << 3 << "";
    QTest::newRow("not in CW") << QByteArray("MD2;KY E;MD3;") << 0 << "not in CW: \"E\"";
    QTest::newRow("no space after the letters") << QByteArray("KYE;") << 0 << "";
    QTest::newRow("our answers come back") << QByteArray("KY0;KY1;") << 0 << "";
    QTest::newRow("nothing in Morse") << QByteArray("KY #~;") << 0 << "no Morse for \"#~\"";
}

// What KY queues, as the keyer's calls show once a closing "T" has been keyed after it.
void tst_keying::cwText()
{
    QFETCH(QByteArray, commands);
    QFETCH(int, elements);
    QFETCH(QString, logged);
    CwChannel cw;
    QVERIFY(cw.open());
    QCOMPARE(cw.send("KS060;KY;"), QByteArray("KY0;"));
    cw.send(commands + "KY T;", false);
    QTRY_COMPARE(cw.keyerCalls().size(), 2 * (elements + 1));
    QCOMPARE(cw.keyerCalls(), pressed(elements + 1));
    QCOMPARE(cw.key.count(), 2 * (elements + 1));
    if (!logged.isEmpty())
        QTRY_VERIFY2(cw.logged(logged), qPrintable(cw.channel.logView().join('\n')));
}

// Four full texts fill the keyer: KY reads 1 and a fifth text is dropped; RX empties it.
void tst_keying::cwTextFillsTheKeyer()
{
    CwChannel cw;
    QVERIFY(cw.open());
    const QByteArray text = "KY CQ CQ DE N0CALL N0CALL K;";
    cw.send("KS060;" + text + text + text + text, false);
    QCOMPARE(cw.send("KY;"), QByteArray("KY1;"));
    cw.send(text, false);
    QTRY_VERIFY(cw.logged("the keyer is full"));
    QCOMPARE(cw.send("RX;"), QByteArray("RX0;"));
    QCOMPARE(cw.send("KY;"), QByteArray("KY0;"));
    QCOMPARE(cw.key.calls(KeyCall::SetKey).constLast(), KeyCall::key(0, 2, false));
}

void tst_keying::cwTextStops_data()
{
    QTest::addColumn<QString>("stop");
    QTest::addColumn<int>("pttRow");
    QTest::addColumn<int>("keyRow");
    QTest::newRow("RX") << "RX" << 0 << 0;
    QTest::newRow("CAT key line") << "line" << 0 << 2;
    QTest::newRow("CAT PTT line") << "line" << 2 << 0;
    QTest::newRow("host leaves CW") << "mode" << 0 << 0;
    QTest::newRow("port closed") << "close" << 0 << 0;
}

// At 5 wpm a dash lasts 720 ms: the stop comes while the first one is down, and the key-up that
// cuts it short comes from the stopping thread, not from the keyer's schedule. What was queued
// is gone: after a closing "E" nothing else has been keyed.
void tst_keying::cwTextStops()
{
    QFETCH(QString, stop);
    QFETCH(int, pttRow);
    QFETCH(int, keyRow);
    CwChannel cw;
    QVERIFY(cw.open(pttRow, keyRow));
    const int atOpen = cw.key.count();
    cw.send("KS005;KY TTT TTT;", false);
    QTRY_COMPARE(cw.keyerCalls(), Calls{KeyCall::key(0, 2, true)});

    if (stop == "RX") {
        QCOMPARE(cw.send("RX;"), QByteArray("RX0;"));
    } else if (stop == "line") {
        cw.lines.set(Lines::Cat, cts);
    } else if (stop == "mode") {
        cw.channel.fromHost([&cw] { cw.channel.bus.rxMode(0, 0, 4); });
    } else {
        cw.channel.box("chbEnable")->setChecked(false);
    }
    QTRY_VERIFY(cw.key.count() >= atOpen + 2);
    const KeyCall cut = cw.key.calls().at(atOpen + 1);
    QCOMPARE(cut, KeyCall::key(0, 2, false));
    QVERIFY(cut.thread != cw.keyerCalls().constFirst().thread);

    if (stop == "mode")
        cw.channel.fromHost([&cw] { cw.channel.bus.rxMode(0, 0, 5); });
    if (stop == "close")
        QVERIFY(cw.open());
    cw.send("KS060;KY E;", false);
    QTRY_COMPARE(cw.keyerCalls().size(), 3);
    QCOMPARE(cw.keyerCalls(), Calls{KeyCall::key(0, 2, true)} + pressed(1));
}

QTEST_MAIN(tst_keying)
#include "tst_keying.moc"
