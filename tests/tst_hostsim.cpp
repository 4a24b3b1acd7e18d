// The host simulator's own parts: the key object's hand-over to the GUI thread (the plug-in
// calls it with a channel mutex held), the simulated transceiver's confirmations of what the
// plug-in asks for, the host-wide controls, the printed message format, the command line and
// the script lines read from a pipe.

#include "HostArguments.h"
#include "HostControls.h"
#include "HostSession.h"
#include "HostWindow.h"
#include "MessageText.h"
#include "ModalDialogCloser.h"
#include "PluginPanel.h"
#include "RadioPanel.h"
#include "ScriptCommands.h"
#include "SimKeyControl.h"
#include "SimulatedRadio.h"
#include "quorvexCommand.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QMutex>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <unistd.h>

Q_DECLARE_METATYPE(QList<QVariantList>)

namespace
{

// Every message a bus sends, as lists.
class Sent : public QObject
{
public:
    explicit Sent(quorvexCommand* bus)
    {
        connect(bus, &quorvexCommand::sCommand, this,
                [this](const QVariant& message) { messages << message.toList(); });
    }
    QList<QVariantList> messages;
};

struct KeyEvent {
    QString kind;
    quint32 channel;
    quint32 source;
    bool state;
    QThread* thread;
};

} // namespace

class tst_hostsim : public QObject
{
    Q_OBJECT

private slots:
    void keyObjectHandsCallsToGuiThread_data();
    void keyObjectHandsCallsToGuiThread();
    void radioConfirmsRequests_data();
    void radioConfirmsRequests();
    void transmitFollowsAllSources();
    void transmitMetersWhileTransmitting();
    void receiverWithoutTransmitterStaysReceiving();
    void hostWideControls_data();
    void hostWideControls();
    void messageText_data();
    void messageText();
    void arguments_data();
    void arguments();
    void scriptLines();
    void viewLogBoxFoundByChannel();
    void windowShowsEveryControl();
    void headlessRunClosesModalDialogs();
};

void tst_hostsim::keyObjectHandsCallsToGuiThread_data()
{
    QTest::addColumn<bool>("fromWorker");
    QTest::newRow("GUI thread") << false;
    QTest::newRow("worker thread") << true;
}

void tst_hostsim::keyObjectHandsCallsToGuiThread()
{
    QFETCH(bool, fromWorker);
    SimKeyControl key;
    QMutex channelMutex;
    QList<KeyEvent> events;
    // A host reaction that needs the channel: it would deadlock (or relock a held
    // non-recursive mutex) if the key object ran it inside the plug-in's call.
    const auto record = [&](const char* kind) {
        return [&, kind](quint32 channel, quint32 source, bool state) {
            const QMutexLocker lock(&channelMutex);
            events << KeyEvent{QLatin1String(kind), channel, source, state,
                               QThread::currentThread()};
        };
    };
    connect(&key, &SimKeyControl::trxRequested, this, record("trx"));
    connect(&key, &SimKeyControl::keyRequested, this, record("key"));

    const auto calls = [&key, &channelMutex, &events] {
        const QMutexLocker lock(&channelMutex);
        key.setTrx(1, 2, true);
        key.setKey(1, 3, true);
        key.setTrx(1, 2, false);
        return events.size(); // nothing may have run yet
    };
    // Atomic: QThread::wait orders the worker before us, but inside Qt, out of the sanitizer's
    // sight.
    std::atomic<int> ranInside{-1};
    if (fromWorker) {
        std::unique_ptr<QThread> worker(QThread::create([&] { ranInside = calls(); }));
        worker->start();
        QVERIFY(worker->wait(5000));
    } else {
        ranInside = calls();
    }
    QCOMPARE(ranInside.load(), 0);
    QTRY_COMPARE(events.size(), 3);
    const QStringList kinds{events[0].kind, events[1].kind, events[2].kind};
    QCOMPARE(kinds, (QStringList{"trx", "key", "trx"}));
    QCOMPARE(events[0].state, true);
    QCOMPARE(events[1].source, 3u);
    QCOMPARE(events[2].state, false);
    for (const KeyEvent& event : events) {
        QCOMPARE(event.channel, 1u);
        QCOMPARE(event.thread, thread());
    }
}

void tst_hostsim::radioConfirmsRequests_data()
{
    QTest::addColumn<QVariantList>("request");
    QTest::addColumn<QList<QVariantList>>("reports");
    using L = QList<QVariantList>;
    QTest::newRow("VFO B") << QVariantList{19, 1u, 1u, 7.1e6} << L{{19, 1u, 1u, 7.1e6}};
    QTest::newRow("other transceiver") << QVariantList{19, 0u, 0u, 7.1e6} << L{};
    QTest::newRow("no third VFO") << QVariantList{19, 1u, 2u, 7.1e6} << L{};
    QTest::newRow("mode brings its filter")
        << QVariantList{29, 1u, 0u, 3u} << L{{29, 1u, 0u, 3u}, {28, 1u, 0u, -2800.0, -100.0}};
    QTest::newRow("filter edges ordered")
        << QVariantList{28, 1u, 0u, 300.0, -300.0} << L{{28, 1u, 0u, -300.0, 300.0}};
    QTest::newRow("volume limited") << QVariantList{22, 1u, 0, 6} << L{{22, 1u, 0, 0}};
    QTest::newRow("squelch limited") << QVariantList{51, 1u, 0u, -200} << L{{51, 1u, 0u, -140}};
    QTest::newRow("drive limited") << QVariantList{70, 1u, 150u} << L{{70, 1u, 100u}};
    QTest::newRow("mic gain limited") << QVariantList{65, 1u, 90} << L{{65, 1u, 70}};
    QTest::newRow("noise blanker level") << QVariantList{33, 1u, 3} << L{{33, 1u, 3}};
    QTest::newRow("RIT offset limited")
        << QVariantList{54, 1u, 0u, -20000} << L{{54, 1u, 0u, -9999}};
    QTest::newRow("XIT") << QVariantList{59, 1u, 0u, true} << L{{59, 1u, 0u, true}};
    QTest::newRow("split") << QVariantList{161, 1u, true} << L{{161, 1u, true}};
    QTest::newRow("sub receiver") << QVariantList{160, 1u, false} << L{{160, 1u, false}};
    QTest::newRow("CTCSS tone limited") << QVariantList{170, 1u, 50} << L{{170, 1u, 41}};
    QTest::newRow("attenuator and preamp")
        << QVariantList{181, 1u, true, false} << L{{181, 1u, true, false}};
}

void tst_hostsim::radioConfirmsRequests()
{
    QFETCH(QVariantList, request);
    QFETCH(QList<QVariantList>, reports);
    quorvexCommand bus;
    SimulatedRadio radio(1, true, &bus);
    Sent sent(&bus);
    QSignalSpy changed(&radio, &SimulatedRadio::changed);
    bus.setCommand(request);
    QCOMPARE(sent.messages, reports);
    QCOMPARE(changed.count(), reports.isEmpty() ? 0 : 1);
}

void tst_hostsim::transmitFollowsAllSources()
{
    quorvexCommand bus;
    SimulatedRadio radio(0, true, &bus);
    Sent sent(&bus);
    radio.requestTrx(0, 2, true);  // CAT command: transmit
    radio.requestTrx(0, 3, true);  // PTT port joins in
    radio.requestTrx(0, 2, false); // PTT port still holds it
    radio.requestTrx(1, 3, false); // another transceiver's release
    QVERIFY(radio.state().transmitting);
    radio.requestTrx(0, 3, false);
    QVERIFY(!radio.state().transmitting);
    // The transmit meters follow each change at once: the drive's 50 W of 100 W and the
    // default SWR, then rest values.
    QCOMPARE(sent.messages, (QList<QVariantList>{{3, 0u, true},
                                                 {102, 0u, 0u, 50.0},
                                                 {103, 0u, 0u, 1.2},
                                                 {3, 0u, false},
                                                 {102, 0u, 0u, 0.0},
                                                 {103, 0u, 0u, 1.0}}));
}

// Power and SWR are reported while transmitting: on every change, and with the S-meter's
// periodic report; a change while receiving is kept for the next transmission.
void tst_hostsim::transmitMetersWhileTransmitting()
{
    quorvexCommand bus;
    SimulatedRadio radio(0, true, &bus);
    Sent sent(&bus);
    radio.setSwr(2.0);
    QVERIFY(sent.messages.isEmpty());
    radio.requestTrx(0, 2, true);
    bus.setCommand(QVariantList{70, 0u, 80u});
    radio.setSwr(1.5);
    QCOMPARE(sent.messages, (QList<QVariantList>{{3, 0u, true},
                                                 {102, 0u, 0u, 50.0},
                                                 {103, 0u, 0u, 2.0},
                                                 {70, 0u, 80u},
                                                 {102, 0u, 0u, 80.0},
                                                 {103, 0u, 0u, 2.0},
                                                 {102, 0u, 0u, 80.0},
                                                 {103, 0u, 0u, 1.5}}));
    sent.messages.clear();
    QTRY_VERIFY(sent.messages.contains(QVariantList{103, 0u, 0u, 1.5}));
    QVERIFY(sent.messages.contains(QVariantList{102, 0u, 0u, 80.0}));
    QVERIFY(sent.messages.contains(QVariantList{100, 0u, 0u, -100.0}));
}

void tst_hostsim::receiverWithoutTransmitterStaysReceiving()
{
    quorvexCommand bus;
    SimulatedRadio radio(1, false, &bus);
    Sent sent(&bus);
    radio.requestTrx(1, 2, true);
    QVERIFY(!radio.state().transmitting);
    QVERIFY(sent.messages.isEmpty());
}

void tst_hostsim::hostWideControls_data()
{
    QTest::addColumn<QVariantList>("request");
    QTest::addColumn<QList<QVariantList>>("reports");
    using L = QList<QVariantList>;
    QTest::newRow("stop from any transceiver") << QVariantList{166, 1u, false} << L{{1, false}};
    QTest::newRow("start confirmed while running") << QVariantList{166, 0u, true} << L{{1, true}};
    QTest::newRow("keyer speed") << QVariantList{82, 32u} << L{{82, 32u}};
    QTest::newRow("keyer speed at least 1") << QVariantList{82, 0u} << L{{82, 1u}};
    QTest::newRow("break-in delay") << QVariantList{84, 500} << L{{84, 500}};
    QTest::newRow("break-in delay limited") << QVariantList{84, -1} << L{{84, 9999}};
    QTest::newRow("antenna shown, not confirmed") << QVariantList{2, 1u} << L{};
}

void tst_hostsim::hostWideControls()
{
    QFETCH(QVariantList, request);
    QFETCH(QList<QVariantList>, reports);
    quorvexCommand bus;
    HostControls controls(&bus);
    Sent sent(&bus);
    bus.setCommand(request);
    QCOMPARE(sent.messages, reports);
}

void tst_hostsim::messageText_data()
{
    QTest::addColumn<QVariant>("message");
    QTest::addColumn<QString>("line");
    QTest::newRow("frequency") << QVariant(QVariantList{19, 0u, 0u, 14074000.0})
                               << "cmd 19 rxVfo 0 0 14074000";
    QTest::newRow("fraction and sign")
        << QVariant(QVariantList{28, 1u, 0u, -2.5, 2700.0}) << "cmd 28 rxFilter 1 0 -2.5 2700";
    QTest::newRow("flags as digits")
        << QVariant(QVariantList{181, 0u, true, false}) << "cmd 181 setCatAttPreAmp 0 1 0";
    QTest::newRow("nested list") << QVariant(QVariantList{49, 2u, QVariantList{1, -2, 3}})
                                 << "cmd 49 rxEqualizer 2 [1,-2,3]";
    QTest::newRow("address") << QVariant(QVariantList{183, qulonglong(0xbeef)})
                             << "cmd 183 setCWKeyObject 0xbeef";
    QTest::newRow("start") << QVariant(QVariantList{1, true}) << "cmd 1 start 1";
    QTest::newRow("fan") << QVariant(QVariantList{107, 1u}) << "cmd 107 setSensorFan 1";
    QTest::newRow("unassigned") << QVariant(QVariantList{53}) << "cmd 53 ?";
    QTest::newRow("out of range") << QVariant(QVariantList{187, 1u}) << "cmd 187 ? 1";
    QTest::newRow("empty list") << QVariant(QVariantList{}) << "cmd ? ";
    QTest::newRow("not a list") << QVariant(QStringLiteral("FA;")) << "cmd ? FA;";
}

void tst_hostsim::messageText()
{
    QFETCH(QVariant, message);
    QFETCH(QString, line);
    QCOMPARE(describeMessage(message), line);
}

void tst_hostsim::arguments_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<quint32>("channels");
    QTest::addColumn<quint32>("txChannels");
    QTest::addColumn<bool>("headless");
    QTest::newRow("defaults") << QStringList{} << true << 0 << 2u << 1u << false;
    QTest::newRow("all set") << QStringList{"--channels", "4",  "--tx-channels", "0", "--headless",
                                            "--smeter",   "-73"}
                             << true << 0 << 4u << 0u << true;
    QTest::newRow("no channel") << QStringList{"--channels", "0"} << true << 0 << 0u << 1u << false;
    QTest::newRow("too many") << QStringList{"--channels", "17"} << false << 2 << 0u << 0u << false;
    QTest::newRow("not a number") << QStringList{"--tx-channels", "one"} << false << 2 << 0u << 0u
                                  << false;
    QTest::newRow("negative") << QStringList{"--channels", "-1"} << false << 2 << 0u << 0u << false;
    QTest::newRow("bad level") << QStringList{"--smeter", "S9"} << false << 2 << 0u << 0u << false;
    QTest::newRow("unknown option") << QStringList{"--colour"} << false << 2 << 0u << 0u << false;
    QTest::newRow("stray word") << QStringList{"COM5"} << false << 2 << 0u << 0u << false;
    QTest::newRow("help") << QStringList{"--help"} << false << 0 << 0u << 0u << false;
}

void tst_hostsim::arguments()
{
    QFETCH(QStringList, words);
    QFETCH(bool, valid);
    QFETCH(int, exitCode);
    QFETCH(quint32, channels);
    QFETCH(quint32, txChannels);
    QFETCH(bool, headless);
    const ParsedArguments parsed = parseHostArguments(QStringList{"/opt/sim/bin/host-sim"} + words);
    QCOMPARE(parsed.arguments.has_value(), valid);
    if (!valid) {
        QCOMPARE(parsed.exitCode, exitCode);
        QVERIFY(!parsed.message.isEmpty());
        // A usage line names the program as it was started.
        QVERIFY2(!parsed.message.contains(QLatin1String("Usage:")) ||
                     parsed.message.contains(QLatin1String("Usage: host-sim [options]")),
                 qPrintable(parsed.message));
        QCOMPARE(parsed.message.startsWith(QLatin1String("Usage: host-sim")), exitCode == 0);
        return;
    }
    QCOMPARE(parsed.arguments->channels, channels);
    QCOMPARE(parsed.arguments->txChannels, txChannels);
    QCOMPARE(parsed.arguments->headless, headless);
    HostArguments resolved = *parsed.arguments;
    resolveDefaults(resolved);
    QVERIFY(resolved.pluginPath.endsWith(QLatin1String("/libKenwoodTS480.so")));
    QVERIFY(resolved.settingsPath.endsWith(QLatin1String("/host-sim.ini")));
}

void tst_hostsim::scriptLines()
{
    HostArguments arguments;
    arguments.channels = 2;
    HostSession session(arguments);
    int pipeEnds[2];
    QCOMPARE(::pipe(pipeEnds), 0);
    ScriptCommands script(&session, pipeEnds[0]);
    HostWindow window;
    script.setWindow(&window);
    QTemporaryDir shots;
    const QString shot = shots.filePath(QStringLiteral("window.png"));
    QSignalSpy catRequests(session.deviceManager(), &DeviceManagerAbstract::catEnableChanged);
    QSignalSpy quit(&script, &ScriptCommands::quitRequested);

    // Invalid lines change nothing; a line may arrive in pieces.
    const QByteArray lines = "smeter 5 -50\nsmeter 1 loud\ncat 0 2\nrunning\nswr 0 0.9\n"
                             "swr 1 2\nswr 0 inf\nswr 0 2.5\nsmeter 1 -5";
    QCOMPARE(::write(pipeEnds[1], lines.constData(), size_t(lines.size())), lines.size());
    QCOMPARE(::write(pipeEnds[1], "0\ncat 1 1\nrunning 0\n", 20), 20);
    const QByteArray tuning = "vfo 0 7074000\nvfo 1 -5\nvfo 1 fast\nmode 1 4\nmode 0 11\n";
    QCOMPARE(::write(pipeEnds[1], tuning.constData(), size_t(tuning.size())), tuning.size());
    // QtGui hands a window's image work to pool threads of its own, whose hand-overs
    // ThreadSanitizer cannot follow in a Qt built without it: there the screenshot is left out.
#ifdef __SANITIZE_THREAD__
    constexpr bool takesScreenshot = false;
#else
    constexpr bool takesScreenshot = true;
#endif
    const QByteArray screenshot =
        (takesScreenshot ? "screenshot " + shot.toLocal8Bit() + "\n" : QByteArray()) + "quit\n";
    QCOMPARE(::write(pipeEnds[1], screenshot.constData(), size_t(screenshot.size())),
             screenshot.size());
    QTRY_COMPARE(quit.count(), 1);
    QCOMPARE(session.radio(1)->state().smeterDbm, -50.0);
    QCOMPARE(session.radio(0)->state().smeterDbm, arguments.smeterDbm);
    QCOMPARE(session.radio(0)->state().vfoA, 7074000.0);
    QCOMPARE(session.radio(1)->state().vfoA, TransceiverState().vfoA);
    QCOMPARE(session.radio(1)->state().mode, 4u);
    QCOMPARE(session.radio(0)->state().mode, TransceiverState().mode);
    // Only a transmitter takes an SWR, and only a ratio of at least 1.
    QCOMPARE(session.radio(0)->state().swr, 2.5);
    QCOMPARE(session.radio(1)->state().swr, 1.2);
    QCOMPARE(catRequests.count(), 1);
    QCOMPARE(catRequests.first().at(0).toUInt(), 1u);
    QCOMPARE(catRequests.first().at(1).toBool(), true);
    QVERIFY(!session.hostControls()->running());
    // The window as it was, at least the size a screenshot gets.
    const QImage image(shot);
    QVERIFY(!takesScreenshot || (image.width() >= 1200 && image.height() >= 760));
    ::close(pipeEnds[1]);
    ::close(pipeEnds[0]);
}

void tst_hostsim::viewLogBoxFoundByChannel()
{
    // The plug-in's panel as it sits in the host's layout: a label first, then one tab per
    // channel, each with its own "View log" box among other boxes.
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("host")));
    auto* tabs = new QTabWidget;
    layout->addWidget(tabs);
    QList<QCheckBox*> logBoxes;
    for (int channel = 0; channel < 2; ++channel) {
        auto* page = new QWidget;
        auto* pageLayout = new QVBoxLayout(page);
        pageLayout->addWidget(new QCheckBox(QStringLiteral("Enable")));
        logBoxes << new QCheckBox(QStringLiteral("View log"));
        logBoxes.last()->setObjectName(QStringLiteral("chbLog"));
        pageLayout->addWidget(logBoxes.last());
        auto* path =
            new QLabel(channel == 1 ? QStringLiteral("/run/user/7/kenwood-ts480/RX2") : QString());
        path->setObjectName(QStringLiteral("lbVirtualPath"));
        pageLayout->addWidget(path);
        auto* log = new QTextBrowser;
        log->setObjectName(QStringLiteral("tbLog"));
        log->append(QStringLiteral("CAT FA;"));
        log->append(QStringLiteral("CAT FA0000%1;").arg(channel));
        pageLayout->addWidget(log);
        tabs->addTab(page, QString::number(channel));
    }

    QCOMPARE(virtualPortPath(layout, 0), QString());
    QCOMPARE(virtualPortPath(layout, 1), QStringLiteral("/run/user/7/kenwood-ts480/RX2"));
    QCOMPARE(virtualPortPath(layout, 2), QString());
    QCOMPARE(logViewLines(layout, 1), (QStringList{"CAT FA;", "CAT FA00001;"}));
    QCOMPARE(logViewLines(layout, 2), QStringList());
    QCOMPARE(viewLogBox(layout, 0), logBoxes.at(0));
    QCOMPARE(viewLogBox(layout, 1), logBoxes.at(1));
    QCOMPARE(viewLogBox(layout, 2), nullptr);
    QCOMPARE(viewLogBox(nullptr, 0), nullptr);
}

// At its default size the window shows every control of every radio, nothing cut off on the
// right, and the plug-in's log view has room for a TCP session's longest answer on one line.
void tst_hostsim::windowShowsEveryControl()
{
    // A window shown hands its image work to QtGui's pool threads (see scriptLines).
#ifdef __SANITIZE_THREAD__
    QSKIP("QtGui's image pool threads under ThreadSanitizer");
#endif
    HostArguments arguments;
    arguments.channels = 2;
    arguments.txChannels = 1;
    arguments.pluginPath = QStringLiteral(KENWOOD_PLUGIN);
    HostWindow window;
    HostSession session(arguments);
    QVERIFY(session.start(window.optionsLayout()));
    window.attach(&session);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCheckBox* viewLog = viewLogBox(window.optionsLayout(), 0);
    QVERIFY(viewLog);
    viewLog->setChecked(true);

    const QList<RadioPanel*> panels = window.findChildren<RadioPanel*>();
    QCOMPARE(panels.size(), 2);
    const QWidget* viewport = panels.first()->parentWidget()->parentWidget();
    for (const RadioPanel* panel : panels)
        for (const QWidget* control : panel->findChildren<QWidget*>()) {
            if (!control->isVisible())
                continue;
            const QRect shown(control->mapTo(viewport, QPoint()), control->size());
            QVERIFY2(shown.right() < viewport->width(),
                     qPrintable(control->metaObject()->className()));
        }
    const auto* log = viewLog->parentWidget()->findChild<QTextBrowser*>(QStringLiteral("tbLog"));
    QVERIFY(log);
    QTRY_VERIFY(log->isVisible());
    const QString longest =
        QStringLiteral("127.0.0.1:40122 IF0000707400000000+000000000020000000;");
    QVERIFY2(log->viewport()->width() > log->fontMetrics().horizontalAdvance(longest),
             qPrintable(QString::number(log->viewport()->width())));
}

void tst_hostsim::headlessRunClosesModalDialogs()
{
    ModalDialogCloser closer;
    QMessageBox box;
    box.setText(QStringLiteral("Can't open COM3\nNo such device"));
    // Only a fallback, so a broken closer fails the test instead of hanging it.
    bool closedByFallback = false;
    QTimer::singleShot(10000, &box, [&] {
        closedByFallback = true;
        box.reject();
    });
    box.exec();
    QVERIFY(!closedByFallback);
    QVERIFY(!box.isVisible());
}

QTEST_MAIN(tst_hostsim)
#include "tst_hostsim.moc"
