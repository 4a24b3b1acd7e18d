// The channel's radio-state cache: the bus signals that feed it (the constructor's connection
// table), the index rules of its setters and getters, the S-meter conversion and the CTCSS
// tone limit with its debug message.

#include "Control.h"
#include "ControlTestAccess.h"
#include "quorvexCommand.h"

#include <QTest>

#include <cmath>
#include <functional>
#include <limits>

using FieldReader = std::function<QVariant(const RadioState&)>;
Q_DECLARE_METATYPE(FieldReader)

class tst_cache : public QObject
{
    Q_OBJECT
private slots:
    void hostReportsReachTheirField_data();
    void hostReportsReachTheirField();
    void reportsWithoutConnectionChangeNothing_data();
    void reportsWithoutConnectionChangeNothing();
    void vfoChannels();
    void smeterConversion_data();
    void smeterConversion();
    void ctcssToneLimit_data();
    void ctcssToneLimit();
    void getters_data();
    void getters();
    void filterGetterNeedsBothPointers();
    void panelOptionsHaveNoIndex();
};

namespace
{

// One host message [id, transceiver?, elements...]; `indexed` puts the transceiver first, and
// only that channel may store it. An unindexed report reaches every channel.
struct Report {
    int id;
    bool indexed;
    QVariantList elements;

    QVariant message(quint32 transceiver) const
    {
        QVariantList list{id};
        if (indexed)
            list << transceiver;
        return list + elements;
    }
};

template <typename T> FieldReader field(T RadioState::*member)
{
    return [member](const RadioState& radio) { return QVariant::fromValue(radio.*member); };
}

} // namespace

Q_DECLARE_METATYPE(Report)

void tst_cache::hostReportsReachTheirField_data()
{
    QTest::addColumn<Report>("report");
    QTest::addColumn<FieldReader>("read");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QByteArray>("debugMessage");
    const auto row = [](const char* name, Report report, FieldReader read, QVariant expected,
                        const char* debugMessage = "") {
        QTest::newRow(name) << report << read << expected << QByteArray(debugMessage);
    };
    row("sStart", {1, false, {true}}, field(&RadioState::started), true);
    row("sRxVfo A", {19, true, {0u, 7.0e6}}, field(&RadioState::vfoA), 7.0e6);
    row("sRxVfo B", {19, true, {1u, 7.0e6}}, field(&RadioState::vfoB), 7.0e6);
    row("sRxMode", {29, true, {0u, 4u}}, field(&RadioState::mode), 4u);
    row("sRxMode channel ignored", {29, true, {3u, 4u}}, field(&RadioState::mode), 4u);
    row("sRxAgcMode", {26, true, {0u, 3u}}, field(&RadioState::agcMode), 3u);
    row("sRxAgcGain", {25, true, {0u, -20}}, field(&RadioState::agcGain), -20);
    row("sCwSpeed", {82, false, {25u}}, field(&RadioState::cwWpm), 25u);
    row("sCwBreakInValue", {84, false, {300}}, field(&RadioState::cwBreakInDelay), 300u);
    row("sTxMicGain", {65, true, {35}}, field(&RadioState::micGain), 35);
    row("sMox", {3, true, {true}}, field(&RadioState::trxMode), true);
    row("sRxVolume", {22, true, {0, -30}}, field(&RadioState::volume), -30);
    // The monitor level is the transmitter's that ML addresses: every report is stored.
    row("sTxMonValue whatever the index", {69, false, {5u, 7}}, field(&RadioState::monitor), 7);
    row("sRxFilter low", {28, true, {0u, -2700.0, -100.0}}, field(&RadioState::filterLow), -2700.0);
    row("sRxFilter high", {28, true, {0u, -2700.0, -100.0}}, field(&RadioState::filterHigh),
        -100.0);
    row("sRxNB1", {32, true, {true}}, field(&RadioState::nb1Enable), true);
    row("sRxNB1Level", {33, true, {3}}, field(&RadioState::nb1Level), 3.0);
    row("sRxNR", {36, true, {true}}, field(&RadioState::nrEnable), true);
    row("sTxDrive", {70, true, {50u}}, field(&RadioState::drive), 50u);
    row("sTxComp", {73, true, {true}}, field(&RadioState::compressor), true);
    row("sRxSqlLevel", {51, true, {0u, -70}}, field(&RadioState::sqlLevel), -70);
    row("sMeterDbm", {100, true, {0u, -73.0}}, field(&RadioState::smeter), 11);
    row("sMeterPower", {102, true, {0u, 100.0}}, field(&RadioState::powerMeter), 16);
    row("sMeterSwr", {103, true, {0u, 2.0}}, field(&RadioState::swrMeter), 8);
    row("sRxRitEnable", {56, true, {0u, true}}, field(&RadioState::ritEnable), true);
    row("sRxRit", {54, true, {0u, -120}}, field(&RadioState::ritOffset), -120);
    row("sRxXitEnable", {59, true, {0u, true}}, field(&RadioState::xitEnable), true);
    row("sCatSubRX", {160, true, {true}}, field(&RadioState::subRx), 1);
    row("sCatSplit", {161, true, {true}}, field(&RadioState::split), 1);
    row("sCtcssEnable", {169, true, {true}}, field(&RadioState::ctcssEnable), true,
        "setCtcssEnable(%1,true)");
    row("sCtcssTone", {170, true, {15}}, field(&RadioState::ctcssTone), 15, "setCtcssTone(%1,15)");
    row("sCatAttPreAmp attenuator", {181, true, {true, false}}, field(&RadioState::attenuator),
        true);
    row("sCatAttPreAmp preamp", {181, true, {false, true}}, field(&RadioState::preamp), true);
}

// Each report reaches the channel it names, and only that one.
void tst_cache::hostReportsReachTheirField()
{
    QFETCH(Report, report);
    QFETCH(FieldReader, read);
    QFETCH(QVariant, expected);
    QFETCH(QByteArray, debugMessage);
    quorvexCommand bus;
    Control first(0, &bus, nullptr);
    Control second(1, &bus, nullptr);
    const QVariant initial = read(ControlTestAccess::cache(second));
    QVERIFY(initial != expected);

    if (!debugMessage.isEmpty())
        QTest::ignoreMessage(QtDebugMsg, QString::fromLatin1(debugMessage).arg(0).toLatin1());
    bus.setCommand(report.message(0));
    QCOMPARE(read(ControlTestAccess::cache(first)), expected);
    QCOMPARE(read(ControlTestAccess::cache(second)), report.indexed ? initial : expected);
}

void tst_cache::reportsWithoutConnectionChangeNothing_data()
{
    QTest::addColumn<Report>("report");
    QTest::newRow("sRxNB2") << Report{34, true, {true}};
    QTest::newRow("sRxNB2Level") << Report{35, true, {7}};
    QTest::newRow("sRxANF") << Report{41, true, {true}};
    QTest::newRow("sRxXit") << Report{57, true, {0u, 500}};
    QTest::newRow("sTxMon") << Report{68, true, {true}};
}

void tst_cache::reportsWithoutConnectionChangeNothing()
{
    QFETCH(Report, report);
    quorvexCommand bus;
    Control channel(0, &bus, nullptr);
    bus.setCommand(report.message(0));
    const RadioState radio = ControlTestAccess::cache(channel);
    QCOMPARE(radio.nb2Enable, false);
    QCOMPARE(radio.nb2Level, 2.48);
    QCOMPARE(radio.anfEnable, false);
    QCOMPARE(radio.ritOffset, 0);
    QCOMPARE(radio.monitor, 100);
}

void tst_cache::vfoChannels()
{
    quorvexCommand bus;
    Control channel(0, &bus, nullptr);
    emit bus.sRxVfo(0, 2, 7.0e6);
    QCOMPARE(ControlTestAccess::cache(channel).vfoA, 1900000.0);
    QCOMPARE(ControlTestAccess::cache(channel).vfoB, 1900000.0);
    emit bus.sRxVfo(0, 1, 7.0e6);
    QCOMPARE(ControlTestAccess::cache(channel).vfoA, 1900000.0);
    QCOMPARE(ControlTestAccess::cache(channel).vfoB, 7.0e6);
}

void tst_cache::smeterConversion_data()
{
    QTest::addColumn<quint32>("receiver");
    QTest::addColumn<quint32>("channel");
    QTest::addColumn<double>("dbm");
    QTest::addColumn<int>("step");
    QTest::newRow("-140 dBm") << 0u << 0u << -140.0 << 0;
    QTest::newRow("-130 dBm") << 0u << 0u << -130.0 << 0;
    QTest::newRow("-100 dBm") << 0u << 0u << -100.0 << 6;
    QTest::newRow("-80 dBm") << 0u << 0u << -80.0 << 10;
    QTest::newRow("-75 dBm") << 0u << 0u << -75.0 << 11;
    QTest::newRow("-73 dBm") << 0u << 0u << -73.0 << 11;
    QTest::newRow("-50 dBm") << 0u << 0u << -50.0 << 15;
    QTest::newRow("-24 dBm") << 0u << 0u << -24.0 << 19;
    QTest::newRow("-23 dBm") << 0u << 0u << -23.0 << 20;
    QTest::newRow("0 dBm") << 0u << 0u << 0.0 << 20;
    QTest::newRow("infinity") << 0u << 0u << std::numeric_limits<double>::infinity() << 20;
    QTest::newRow("not a number") << 0u << 0u << std::nan("") << 0;
    QTest::newRow("second channel ignored") << 0u << 1u << -50.0 << -1;
    QTest::newRow("other receiver ignored") << 1u << 0u << -50.0 << -1;
}

void tst_cache::smeterConversion()
{
    QFETCH(quint32, receiver);
    QFETCH(quint32, channel);
    QFETCH(double, dbm);
    QFETCH(int, step);
    quorvexCommand bus;
    Control control(0, &bus, nullptr);
    emit bus.sMeterDbm(0, 0, -100.0);
    emit bus.sMeterDbm(receiver, channel, dbm);
    // -1: the reading is ignored and the earlier one (-100 dBm, step 6) stays.
    QCOMPARE(ControlTestAccess::cache(control).smeter, step < 0 ? 6 : step);
}

void tst_cache::ctcssToneLimit_data()
{
    QTest::addColumn<int>("tone");
    QTest::addColumn<bool>("stored");
    QTest::newRow("0") << 0 << true;
    QTest::newRow("42") << 42 << true;
    QTest::newRow("43") << 43 << false;
    QTest::newRow("negative") << -1 << false;
}

void tst_cache::ctcssToneLimit()
{
    QFETCH(int, tone);
    QFETCH(bool, stored);
    quorvexCommand bus;
    Control channel(0, &bus, nullptr);
    QTest::ignoreMessage(QtDebugMsg, "setCtcssTone(0,5)");
    emit bus.sCtcssTone(0, 5);
    if (stored)
        QTest::ignoreMessage(QtDebugMsg, QStringLiteral("setCtcssTone(0,%1)").arg(tone).toLatin1());
    emit bus.sCtcssTone(0, tone);
    QCOMPARE(ControlTestAccess::cache(channel).ctcssTone, stored ? tone : 5);
}

namespace
{

using Getter = std::function<QVariant(Control&, quint32 index)>;

// Calls a getter slot the way a host would reach it, by name.
template <typename R, typename... Args>
QVariant callGetter(Control& channel, const char* slot, Args... args)
{
    R result{};
    const bool called = QMetaObject::invokeMethod(
        &channel, slot, Qt::DirectConnection,
        QReturnArgument<R>(QMetaType::fromType<R>().name(), result), args...);
    return called ? QVariant::fromValue(result) : QVariant();
}

} // namespace

Q_DECLARE_METATYPE(Getter)

void tst_cache::getters_data()
{
    QTest::addColumn<Getter>("getter");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("otherIndex");
    const auto row = [](const char* name, Getter getter, QVariant value, QVariant other) {
        QTest::newRow(name) << getter << value << other;
    };
    row(
        "Started", [](Control& c, quint32) { return callGetter<bool>(c, "Started"); }, false,
        false);
    row(
        "Vfo A",
        [](Control& c, quint32 i) {
            return callGetter<double>(c, "Vfo", Q_ARG(quint32, i), Q_ARG(quint32, 0));
        },
        1900000.0, 0.0);
    row(
        "Vfo B",
        [](Control& c, quint32 i) {
            return callGetter<double>(c, "Vfo", Q_ARG(quint32, i), Q_ARG(quint32, 1));
        },
        1900000.0, 0.0);
    row(
        "Vfo channel 2",
        [](Control& c, quint32 i) {
            return callGetter<double>(c, "Vfo", Q_ARG(quint32, i), Q_ARG(quint32, 2));
        },
        0.0, 0.0);
    row(
        "Mode",
        [](Control& c, quint32 i) { return callGetter<quint32>(c, "Mode", Q_ARG(quint32, i)); }, 5u,
        0u);
    row(
        "AgcMode",
        [](Control& c, quint32 i) { return callGetter<quint32>(c, "AgcMode", Q_ARG(quint32, i)); },
        1u, 0u);
    row(
        "AgcGain",
        [](Control& c, quint32 i) { return callGetter<quint32>(c, "AgcGain", Q_ARG(quint32, i)); },
        100u, 0u);
    row(
        "CwWpm", [](Control& c, quint32) { return callGetter<quint32>(c, "CwWpm"); }, 40u, 40u);
    row(
        "CwBreakInDelay",
        [](Control& c, quint32) { return callGetter<quint32>(c, "CwBreakInDelay"); }, 10u, 10u);
    row(
        "MicGain",
        [](Control& c, quint32 i) { return callGetter<int>(c, "MicGain", Q_ARG(quint32, i)); }, 0,
        0);
    row(
        "TrxMode",
        [](Control& c, quint32 i) { return callGetter<bool>(c, "TrxMode", Q_ARG(quint32, i)); },
        false, false);
    row(
        "Volume",
        [](Control& c, quint32 i) { return callGetter<int>(c, "Volume", Q_ARG(int, int(i))); }, 0,
        0);
    row(
        "Monitor",
        [](Control& c, quint32 i) { return callGetter<int>(c, "Monitor", Q_ARG(quint32, i)); }, 100,
        0);
    row(
        "Nb1Level",
        [](Control& c, quint32 i) { return callGetter<double>(c, "Nb1Level", Q_ARG(quint32, i)); },
        1.65, 0.0);
    row(
        "Nb2Level",
        [](Control& c, quint32 i) { return callGetter<double>(c, "Nb2Level", Q_ARG(quint32, i)); },
        2.48, 0.0);
    row(
        "Nb1Enable",
        [](Control& c, quint32 i) { return callGetter<bool>(c, "Nb1Enable", Q_ARG(quint32, i)); },
        false, false);
    row(
        "Drive",
        [](Control& c, quint32 i) { return callGetter<quint32>(c, "Drive", Q_ARG(quint32, i)); },
        0u, 0u);
    row(
        "SqlLevel",
        [](Control& c, quint32 i) { return callGetter<int>(c, "SqlLevel", Q_ARG(quint32, i)); },
        -100, 0);
    row(
        "RitOffset",
        [](Control& c, quint32 i) { return callGetter<int>(c, "RitOffset", Q_ARG(quint32, i)); }, 0,
        0);
}

// After construction each getter reports the initial value for its own index and 0 for
// another one.
void tst_cache::getters()
{
    QFETCH(Getter, getter);
    QFETCH(QVariant, value);
    QFETCH(QVariant, otherIndex);
    quorvexCommand bus;
    Control channel(3, &bus, nullptr);
    QCOMPARE(getter(channel, 3), value);
    QCOMPARE(getter(channel, 2), otherIndex);
}

void tst_cache::filterGetterNeedsBothPointers()
{
    quorvexCommand bus;
    Control channel(0, &bus, nullptr);
    emit bus.sRxFilter(0, 0, -2700.0, -100.0);
    double low = 1.0;
    double high = 2.0;
    QVERIFY(QMetaObject::invokeMethod(&channel, "Filter", Qt::DirectConnection, Q_ARG(quint32, 0),
                                      Q_ARG(quint32, 0), Q_ARG(double*, &low),
                                      Q_ARG(double*, nullptr)));
    QCOMPARE(low, 1.0);
    QVERIFY(QMetaObject::invokeMethod(&channel, "Filter", Qt::DirectConnection, Q_ARG(quint32, 1),
                                      Q_ARG(quint32, 0), Q_ARG(double*, &low),
                                      Q_ARG(double*, &high)));
    QCOMPARE(low, 1.0);
    QVERIFY(QMetaObject::invokeMethod(&channel, "Filter", Qt::DirectConnection, Q_ARG(quint32, 0),
                                      Q_ARG(quint32, 0), Q_ARG(double*, &low),
                                      Q_ARG(double*, &high)));
    QCOMPARE(low, -2700.0);
    QCOMPARE(high, -100.0);
}

void tst_cache::panelOptionsHaveNoIndex()
{
    quorvexCommand bus;
    Control channel(2, &bus, nullptr);
    QVERIFY(QMetaObject::invokeMethod(&channel, "changedEnableFR", Qt::DirectConnection,
                                      Q_ARG(bool, true)));
    QVERIFY(QMetaObject::invokeMethod(&channel, "changedAntSwEnable", Qt::DirectConnection,
                                      Q_ARG(bool, true)));
    QCOMPARE(ControlTestAccess::cache(channel).enableFr, true);
    QCOMPARE(ControlTestAccess::cache(channel).antSwEnable, true);
}

QTEST_MAIN(tst_cache)
#include "tst_cache.moc"
