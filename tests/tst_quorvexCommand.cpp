// The command bus: every row of the command table through the meta-object, the
// messages that are dropped, and the rows whose two ends differ.

#include "FakeKeyControl.h"
#include "quorvexCommand.h"

#include <QMetaMethod>
#include <QSet>
#include <QThread>
#include <QtTest>

namespace
{

// The command table as the host contract defines it, kept apart from the implementation's own:
// ID, encoder slot, typed signal. ID 53 is not assigned.
struct Row {
    int id;
    const char* encoder;
    const char* signal;
};

// clang-format off
const Row kTable[] = {
    {  0, "open(bool)", "sOpen(bool)"}, // then sOpen() or sClose()
    {  1, "start(bool)", "sStart(bool)"}, // then sStart() or sStop()
    {  2, "rxAntSwitch(quint32)", "sRxAntSwitch(quint32)"},
    {  3, "mox(quint32,bool)", "sMox(quint32,bool)"},
    {  4, "ptt(quint32,bool)", "sPtt(quint32,bool)"},
    {  5, "tone(quint32,bool)", "sTone(quint32,bool)"},
    {  6, "trxMode(quint32,quint32,bool)", "sTrxMode(quint32,quint32,bool)"},
    {  7, "tonMode(quint32,quint32,bool)", "sTonMode(quint32,quint32,bool)"},
    {  8, "moxChacked(quint32,bool)", "sMoxChacked(quint32,bool)"},
    {  9, "moxEnable(quint32,bool)", "sMoxEnable(quint32,bool)"},
    { 10, "trxLock(quint32,bool)", "sTrxLock(quint32,bool)"},
    { 11, "sampleRate(double)", "sSampleRate(double)"},
    { 12, "receiverEnable(quint32,bool)", "sReceiverEnable(quint32,bool)"},
    { 13, "receiverChannelEnable(quint32,quint32,bool)", "sReceiverChannelEnable(quint32,quint32,bool)"},
    { 14, "bandScope(bool,quint64,quint32)", "sBandScope(bool,quint64,quint32)"},
    { 15, "fftSize(quint32)", "sFftSize(quint32)"},
    { 16, "fftAveragingType(quint32)", "sFftAveragingType(quint32)"},
    { 17, "fftAveragingNum(quint32)", "sFftAveragingNum(quint32)"},
    { 18, "fftUpdateTime(quint32)", "sFftUpdateTime(quint32)"},
    { 19, "rxVfo(quint32,quint32,double)", "sRxVfo(quint32,quint32,double)"},
    { 20, "rxOscFreq(quint32,double)", "sRxOscFreq(quint32,double)"},
    { 21, "rxPreamp(quint32)", "sRxPream(quint32)"},
    { 22, "rxVolume(quint32,int,int)", "sRxVolume(quint32,int,int)"},
    { 23, "rxBalance(quint32,int,int)", "sRxBalance(quint32,int,int)"},
    { 24, "rxMute(quint32,int,bool)", "sRxMute(quint32,int,bool)"},
    { 25, "rxAgcGain(quint32,quint32,int)", "sRxAgcGain(quint32,quint32,int)"},
    { 26, "rxAgcMode(quint32,quint32,quint32)", "sRxAgcMode(quint32,quint32,quint32)"},
    { 27, "rxDownConvert(quint32,quint32,double)", "sRxDownConvert(quint32,quint32,double)"},
    { 28, "rxFilter(quint32,quint32,double,double)", "sRxFilter(quint32,quint32,double,double)"},
    { 29, "rxMode(quint32,quint32,quint32)", "sRxMode(quint32,quint32,quint32)"},
    { 30, "rxBand(quint32,quint32)", "sRxBand(quint32,quint32)"},
    { 31, "rxBin(quint32,bool)", "sRxBin(quint32,bool)"},
    { 32, "rxNB1(quint32,bool)", "sRxNB1(quint32,bool)"},
    { 33, "rxNB1Level(quint32,int)", "sRxNB1Level(quint32,double)"},
    { 34, "rxNB2(quint32,bool)", "sRxNB2(quint32,bool)"},
    { 35, "rxNB2Level(quint32,int)", "sRxNB2Level(quint32,int)"},
    { 36, "rxNR(quint32,bool)", "sRxNR(quint32,bool)"},
    { 37, "rxNRTaps(quint32,quint32)", "sRxNRTaps(quint32,quint32)"},
    { 38, "rxNRDelay(quint32,quint32)", "sRxNRDelay(quint32,quint32)"},
    { 39, "rxNRGain(quint32,int)", "sRxNRGain(quint32,int)"},
    { 40, "rxNRLeak(quint32,int)", "sRxNRLeak(quint32,int)"},
    { 41, "rxANF(quint32,bool)", "sRxANF(quint32,bool)"},
    { 42, "rxANFTaps(quint32,quint32)", "sRxANFTaps(quint32,quint32)"},
    { 43, "rxANFDelay(quint32,quint32)", "sRxANFDelay(quint32,quint32)"},
    { 44, "rxANFGain(quint32,int)", "sRxANFGain(quint32,int)"},
    { 45, "rxANFLeak(quint32,int)", "sRxANFLeak(quint32,int)"},
    { 46, "rxNF(quint32,quint32,bool)", "sRxNF(quint32,quint32,bool)"},
    { 47, "rxNF(quint32,quint32,double,double)", "sRxNF(quint32,quint32,double,double)"},
    { 48, "rxEqualizer(quint32,bool)", "sRxEqualizer(quint32,bool)"},
    { 49, "rxEqualizer(quint32,QList<int>)", "sRxEqualizer(quint32,QList<int>)"},
    { 50, "rxSql(quint32,quint32,bool)", "sRxSql(quint32,quint32,bool)"},
    { 51, "rxSqlValue(quint32,quint32,int)", "sRxSqlLevel(quint32,quint32,int)"},
    { 52, "rxSplit(quint32,bool)", "sRxSplit(quint32,bool)"},
    { 53, nullptr, nullptr},
    { 54, "rxRit(quint32,quint32,int)", "sRxRit(quint32,quint32,int)"},
    { 55, "rxRitReset(quint32,quint32)", "sRxRitReset(quint32,quint32)"},
    { 56, "rxRitEnable(quint32,quint32,bool)", "sRxRitEnable(quint32,quint32,bool)"},
    { 57, "rxXit(quint32,quint32,int)", "sRxXit(quint32,quint32,int)"},
    { 58, "rxXitReset(quint32,quint32)", "sRxXitReset(quint32,quint32)"},
    { 59, "rxXitEnable(quint32,quint32,bool)", "sRxXitEnable(quint32,quint32,bool)"},
    { 60, "rxDigOffset(int,int)", "sRxDigOffset(int,int)"},
    { 61, "txEnable(quint32,bool)", "sTxEnable(quint32,bool)"},
    { 62, "txOscFreq(quint32,double)", "sTxOscFreq(quint32,double)"},
    { 63, "txAntSwitch(quint32)", "sTxAntSwitch(quint32)"},
    { 64, "txMic(quint32,quint32)", "sTxMic(quint32,quint32)"},
    { 65, "txMicValue(quint32,int)", "sTxMicGain(quint32,int)"},
    { 66, "txMicAgcEnable(quint32,bool)", "sTxMicAgcEnable(quint32,bool)"},
    { 67, "txMode(quint32,quint32)", "sTxMode(quint32,quint32)"},
    { 68, "txMon(quint32,bool)", "sTxMon(quint32,bool)"},
    { 69, "txMon(quint32,int)", "sTxMonValue(quint32,int)"},
    { 70, "txDrive(quint32,quint32)", "sTxDrive(quint32,quint32)"},
    { 71, "txToneDrive(quint32,quint32)", "sTxToneDrive(quint32,quint32)"},
    { 72, "txExtCtrl(quint32)", "sTxExtCtrl(quint32)"},
    { 73, "txComp(quint32,bool)", "sTxComp(quint32,bool)"},
    { 74, "txCompVal(quint32,int)", "sTxCompValue(quint32,int)"},
    { 75, "txCompThr(quint32,int)", "sTxCompThr(quint32,int)"},
    { 76, "txCompClip(quint32,int)", "sTxCompClip(quint32,int)"},
    { 77, "txEqualizer(quint32,bool)", "sTxEqualizer(quint32,bool)"},
    { 78, "txEqualizer(quint32,QList<int>)", "sTxEqualizer(quint32,QList<int>)"},
    { 79, "txPA(quint32,bool)", "sTxPA(quint32,bool)"},
    { 80, "txVox(quint32,bool)", "sTxVox(quint32,bool)"},
    { 81, "txBandFilter(quint32,int,int)", "sTxBandFilter(quint32,int,int)"},
    { 82, "cwSpeed(quint32)", "sCwSpeed(quint32)"},
    { 83, "cwBreakIn(bool)", "sCwBreakIn(bool)"},
    { 84, "cwBreakInValue(int)", "sCwBreakInValue(quint32)"},
    { 85, "cwPitch(int)", "sCwPitch(quint32)"},
    { 86, "cwWidth(int)", "sCwWidth(quint32)"},
    { 87, "cwRamp(int)", "sCwRamp(quint32)"},
    { 88, "cwParam(quint32,bool,bool,bool,bool,quint32,quint32,double,quint32,quint32)", "sCwParam(quint32,bool,bool,bool,bool,quint32,quint32,double,quint32,quint32)"},
    { 89, "cwKey(quint32,quint32,bool)", "sCwKey(quint32,quint32,bool)"},
    { 90, "cwPtt(quint32,bool)", "sCwPtt(quint32,bool)"},
    { 91, "cwKeyProg(quint32,bool)", "sCwKeyProg(quint32,bool)"},
    { 92, "cwKeyProgDashDot(quint32,bool,bool)", "sCwKeyProgDashDot(quint32,bool,bool)"},
    { 93, "txDash(quint32,bool)", "sTxDash(quint32,bool)"},
    { 94, "txDot(quint32,bool)", "sTxDot(quint32,bool)"},
    { 95, "txKeyer(quint32,quint32,bool,bool)", "sTxKeyer(quint32,quint32,bool,bool)"},
    { 96, "scEnable(bool)", "sScEnable(bool)"},
    { 97, "scSampleRate(double)", "sScSampleRate(double)"},
    { 98, "scRingBuffer(void*)", "sScRingBuffer(void*)"},
    { 99, "vacEnable(quint32,bool)", "sVacEnable(quint32,bool)"},
    {100, "meterDbm(quint32,quint32,double)", "sMeterDbm(quint32,quint32,double)"},
    {101, "meterAdc(quint32,quint32,double,double)", "sMeterAdc(quint32,quint32,double,double)"},
    {102, "meterPower(quint32,quint32,double)", "sMeterPower(quint32,quint32,double)"},
    {103, "meterSwr(quint32,quint32,double)", "sMeterSwr(quint32,quint32,double)"},
    {104, "meterMic(quint32,quint32,double)", "sMeterMic(quint32,quint32,double)"},
    {105, "sensorTemperature(double)", "sSensorTemperature(double)"},
    {106, "sensorUpit(double)", "sSensorUpit(double)"},
    {107, "setSensorFan(bool)", "sSensorFan(bool)"},
    {108, "deviceAdd()", "sDeviceAdd()"},
    {109, "deviceRemove()", "sDeviceRemove()"},
    {110, "deviceChanged()", "sDeviceChanged()"},
    {111, "panelBandUp(quint32)", "sPanelBandUp(quint32)"},
    {112, "panelBandDown(quint32)", "sPanelBandDown(quint32)"},
    {113, "panelModeUp(quint32)", "sPanelModeUp(quint32)"},
    {114, "panelModeDown(quint32)", "sPanelModeDown(quint32)"},
    {115, "panelFilterUp(quint32)", "sPanelFilterUp(quint32)"},
    {116, "panelFilterDown(quint32)", "sPanelFilterDown(quint32)"},
    {117, "panelAgcUp(quint32)", "sPanelAgcUp(quint32)"},
    {118, "panelAgcDown(quint32)", "sPanelAgcDown(quint32)"},
    {119, "panelPreampUp()", "sPanelPreampUp()"},
    {120, "panelPreampDown()", "sPanelPreampDown()"},
    {121, "panelStepUp(quint32)", "sPanelStepUp(quint32)"},
    {122, "panelStepDown(quint32)", "sPanelStepDown(quint32)"},
    {123, "panelZoomUp(quint32)", "sPanelZoomUp(quint32)"},
    {124, "panelZoomDown(quint32)", "sPanelZoomDown(quint32)"},
    {125, "panelPowerChange()", "sPanelPowerChange()"},
    {126, "panelVolume(quint32,int)", "sPanelVolume(quint32,int)"},
    {127, "panelRF(quint32,int)", "sPanelRF(quint32,int)"},
    {128, "panelMicGain(quint32,int)", "sPanelMicGain(quint32,int)"},
    {129, "panelSqlChange(quint32)", "sPanelSqlChange(quint32)"},
    {130, "panelSql(quint32,int)", "sPanelSql(quint32,int)"},
    {131, "panelFilterLow(quint32,int)", "sPanelFilterLow(quint32,int)"},
    {132, "panelFilterHigh(quint32,int)", "sPanelFilterHigh(quint32,int)"},
    {133, "panelFilterWidth(quint32,int)", "sPanelFilterWidth(quint32,int)"},
    {134, "panelFilterShift(quint32,int)", "sPanelFilterShift(quint32,int)"},
    {135, "panelDrive(quint32,int)", "sPanelDrive(quint32,int)"},
    {136, "panelIF(quint32,int)", "sPanelIF(quint32,int)"},
    {137, "panelMuteChange(quint32)", "sPanelMuteChange(quint32)"},
    {138, "panelPaChange(quint32)", "sPanelPaChange(quint32)"},
    {139, "panelBinChange(quint32)", "sPanelBinChange(quint32)"},
    {140, "panelNrChange(quint32)", "sPanelNrChange(quint32)"},
    {141, "panelAnfChange(quint32)", "sPanelAnfChange(quint32)"},
    {142, "panelNb1Change(quint32)", "sPanelNb1Change(quint32)"},
    {143, "panelNb2Change(quint32)", "sPanelNb2Change(quint32)"},
    {144, "panelVFO(quint32,quint32,int)", "sPanelVFO(quint32,quint32,int)"},
    {145, "panelCwSpeed(quint32,int)", "sPanelCwSpeed(quint32,int)"},
    {146, "panelEnableVFOB(quint32,bool)", "sPanelEnableVFOB(quint32,bool)"},
    {147, "panelMox(quint32,bool)", "sPanelMox(quint32,bool)"},
    {148, "panelTone(quint32,bool)", "sPanelTone(quint32,bool)"},
    {149, "panelWideFilter()", "sPanelWideFilter()"},
    {150, "panelRitEnable(quint32,quint32)", "sPanelRitEnable(quint32,quint32)"},
    {151, "panelRitValue(quint32,quint32,int)", "sPanelRitValue(quint32,quint32,int)"},
    {152, "panelRitFromIfValue(quint32,quint32,int)", "sPanelRitFromIfValue(quint32,quint32,int)"},
    {153, "panelRitReset(quint32,quint32)", "sPanelRitReset(quint32,quint32)"},
    {154, "panelXitEnable(quint32,quint32)", "sPanelXitEnable(quint32,quint32)"},
    {155, "panelXitValue(quint32,quint32,int)", "sPanelXitValue(quint32,quint32,int)"},
    {156, "panelXitReset(quint32,quint32)", "sPanelXitReset(quint32,quint32)"},
    {157, "panelSplitSw(quint32)", "sPanelSplitSw(quint32)"},
    {158, "panelMoxVoicePlay(quint32)", "sPanelMoxVoicePlay(quint32)"},
    {159, "panelVoiceRec(quint32)", "sPanelVoiceRec(quint32)"},
    {160, "catSubRX(quint32,bool)", "sCatSubRX(quint32,bool)"},
    {161, "catSplit(quint32,bool)", "sCatSplit(quint32,bool)"},
    {162, "setIqWriter(bool,int)", "sIqWriter(bool,int)"},
    {163, "setIqFixedFreq(bool,double)", "sIqFixedFreq(bool,double)"},
    {164, "voiceRec(quint32,bool)", "sVoiceRec(quint32,bool)"},
    {165, "voicePlay(quint32,bool)", "sVoicePlay(quint32,bool)"},
    {166, "quorvexStart(quint32,bool)", "sQuorvexStart(quint32,bool)"},
    {167, "updatePreampMode()", "sUpdatePreampMode()"},
    {168, "appRetranslate()", "sAppRetranslate()"},
    {169, "ctcssEnable(quint32,bool)", "sCtcssEnable(quint32,bool)"},
    {170, "ctcssTone(quint32,int)", "sCtcssTone(quint32,int)"},
    {171, "ctcssTxEnable(quint32,bool)", "sCtcssTxEnable(quint32,bool)"},
    {172, "ctcssTxTone(quint32,int)", "sCtcssTxTone(quint32,int)"},
    {173, "genTX(bool)", "sGenTX(bool)"},
    {174, "burstToneEnable(quint32,bool)", "sBurstToneEnable(quint32,bool)"},
    {175, "burstToneParam(quint32,double,double)", "sBurstToneParam(quint32,double,double)"},
    {176, "lineOutBuffers(QList<void*>)", "sLineOutBuffers(QList<void*>)"},
    {177, "lineOutEnable(quint32,bool)", "sLineOutEnable(quint32,bool)"},
    {178, "lineOutSampleRate(quint32,double)", "sLineOutSampleRate(quint32,double)"},
    {179, "monEnableInSsbForVac(bool)", "sMonEnableInSsbForVac(bool)"},
    {180, "monEnableInSsbForVoiceRecorder(bool)", "sMonEnableInSsbForVoiceRecorder(bool)"},
    {181, "setCatAttPreAmp(quint32,bool,bool)", "sCatAttPreAmp(quint32,bool,bool)"},
    {182, "setTarnFunction(quint32,bool)", "sTarnFunction(quint32,bool)"},
    {183, "setCWKeyObject(CwKeyControlAbstract*)", "sCWKeyObject(CwKeyControlAbstract*)"},
    {184, "setTxChannels(quint32)", "sTxChannels(quint32)"},
    {185, "setSkimmerTune(quint32,double)", "sSkimmerTune(quint32,double)"},
    {186, "sensorIpit(double)", "sSensorIpit(double)"},
};
// clang-format on

// The members beyond the table's rows: the constant encoders of commands 0 and 1, the signals
// that follow sOpen(bool) and sStart(bool), and the two ends of every message.
const char* const kExtraSlots[] = {"open()", "close()", "start()", "stop()",
                                   "setCommand(QVariant)"};
const char* const kExtraSignals[] = {"sOpen()", "sClose()", "sStart()", "sStop()",
                                     "sCommand(QVariant)"};

QByteArray normalized(const char* signature)
{
    return QMetaObject::normalizedSignature(signature);
}

QMetaMethod busMethod(const char* signature)
{
    const QMetaObject& meta = quorvexCommand::staticMetaObject;
    const int index = meta.indexOfMethod(normalized(signature));
    return index < 0 ? QMetaMethod() : meta.method(index);
}

bool isPointer(QMetaType type)
{
    return type.id() == QMetaType::VoidStar || (type.flags() & QMetaType::IsPointer);
}

quintptr pointerValue(const QVariant& value)
{
    return quintptr(*static_cast<void* const*>(value.constData()));
}

QVariant pointerVariant(QMetaType type, quintptr address)
{
    void* pointer = reinterpret_cast<void*>(address);
    return QVariant(type, &pointer);
}

// A readable form of a value with its type, for failure messages.
QString describe(const QVariant& value)
{
    const QMetaType type = value.metaType();
    QString text;
    if (!type.isValid())
        return QStringLiteral("<invalid>");
    if (type.id() == QMetaType::QVariantList) {
        QStringList entries;
        for (const QVariant& entry : value.toList())
            entries << describe(entry);
        text = "[" + entries.join(", ") + "]";
    } else if (isPointer(type)) {
        text = "0x" + QString::number(pointerValue(value), 16);
    } else if (type == QMetaType::fromType<QList<int>>()) {
        QStringList entries;
        for (int entry : value.value<QList<int>>())
            entries << QString::number(entry);
        text = "{" + entries.join(", ") + "}";
    } else if (type == QMetaType::fromType<QList<void*>>()) {
        QStringList entries;
        for (void* entry : value.value<QList<void*>>())
            entries << "0x" + QString::number(quintptr(entry), 16);
        text = "{" + entries.join(", ") + "}";
    } else {
        text = value.toString();
    }
    return QString::fromLatin1(type.name()) + "(" + text + ")";
}

// Same type and same value, nested lists element by element.
bool same(const QVariant& actual, const QVariant& expected)
{
    if (actual.metaType() != expected.metaType())
        return false;
    if (expected.metaType().id() == QMetaType::QVariantList) {
        const QVariantList a = actual.toList(), e = expected.toList();
        if (a.size() != e.size())
            return false;
        for (qsizetype i = 0; i < e.size(); ++i)
            if (!same(a.at(i), e.at(i)))
                return false;
        return true;
    }
    if (isPointer(expected.metaType()))
        return pointerValue(actual) == pointerValue(expected);
    return actual == expected;
}

// Records every signal of one object in order, with its arguments: one QSignalSpy per signal
// could not show the order in which two different signals fired. Like QSignalSpy it connects
// each signal to a method index of its own and receives the calls in qt_metacall.
class SignalLog : public QObject
{
public:
    struct Entry {
        QByteArray signature;
        QVariantList args;
    };

    explicit SignalLog(QObject* source) : m_meta(source->metaObject())
    {
        const int first = QObject::staticMetaObject.methodCount();
        for (int i = m_meta->methodOffset(); i < m_meta->methodCount(); ++i) {
            if (m_meta->method(i).methodType() != QMetaMethod::Signal)
                continue;
            const bool ok = QMetaObject::connect(source, i, this, first + int(m_signals.size()),
                                                 Qt::DirectConnection);
            Q_ASSERT(ok);
            m_signals.append(i);
        }
    }

    int qt_metacall(QMetaObject::Call call, int id, void** argv) override
    {
        id = QObject::qt_metacall(call, id, argv);
        if (id < 0 || call != QMetaObject::InvokeMetaMethod)
            return id;
        if (id < m_signals.size()) {
            const QMetaMethod method = m_meta->method(m_signals.at(id));
            Entry entry{method.methodSignature(), {}};
            for (int k = 0; k < method.parameterCount(); ++k) {
                const QMetaType type = method.parameterMetaType(k);
                entry.args << (type.id() == QMetaType::QVariant
                                   ? *static_cast<const QVariant*>(argv[k + 1])
                                   : QVariant(type, argv[k + 1]));
            }
            entries.append(entry);
        }
        return id - int(m_signals.size());
    }

    static QString line(const Entry& entry)
    {
        QStringList args;
        for (const QVariant& arg : entry.args)
            args << describe(arg);
        return QString::fromLatin1(entry.signature) + " " + args.join(", ");
    }

    QList<Entry> entries;

private:
    const QMetaObject* m_meta;
    QList<int> m_signals;
};

// Compares what a log recorded with what was expected, type and value of every argument.
bool sameEntries(const QList<SignalLog::Entry>& actual, const QList<SignalLog::Entry>& expected)
{
    if (actual.size() != expected.size())
        return false;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        if (actual.at(i).signature != expected.at(i).signature ||
            actual.at(i).args.size() != expected.at(i).args.size())
            return false;
        for (qsizetype k = 0; k < expected.at(i).args.size(); ++k)
            if (!same(actual.at(i).args.at(k), expected.at(i).args.at(k)))
                return false;
    }
    return true;
}

QString describeEntries(const QList<SignalLog::Entry>& entries)
{
    QStringList out;
    for (const SignalLog::Entry& entry : entries)
        out << SignalLog::line(entry);
    return out.isEmpty() ? QStringLiteral("(no signal)") : out.join(" | ");
}

const QList<SignalLog::Entry> kNoSignal;

// Both evaluate their arguments once.
#define COMPARE_SIGNALS(actual, expected)                                                          \
    do {                                                                                           \
        const QList<SignalLog::Entry> a_ = (actual), e_ = (expected);                              \
        QVERIFY2(sameEntries(a_, e_), qPrintable("emitted " + describeEntries(a_) +                \
                                                 "\nexpected " + describeEntries(e_)));            \
    } while (false)

#define COMPARE_ELEMENT(actual, expected)                                                          \
    do {                                                                                           \
        const QVariant a_ = (actual), e_ = (expected);                                             \
        QVERIFY2(same(a_, e_),                                                                     \
                 qPrintable("element " + describe(a_) + ", expected " + describe(e_)));            \
    } while (false)

// Sample arguments. Every parameter of a row gets a value that no other parameter of the row can
// have (its position is part of it), and every row's values differ from every other row's, so a
// wrong ID, a swapped pair or a lost high bit shows. Booleans cannot be told apart by value, so
// a row with booleans is run once with all false and once with each one alone set.
const quint64 kAddressBase = 0xFFFF800000000000ull; // high bits set: sign and width both matter

QVariant sample(QMetaType type, int id, int position, bool flag)
{
    const int tag = id * 16 + position;
    switch (type.id()) {
    case QMetaType::UInt:
        return QVariant::fromValue(quint32(3000000000u + quint32(tag))); // above INT_MAX
    case QMetaType::Int:
        return QVariant::fromValue(-1000000 - tag);
    case QMetaType::Bool:
        return QVariant::fromValue(flag);
    case QMetaType::Double:
        return QVariant::fromValue(id * 1000.0 + position + 0.25);
    case QMetaType::ULongLong:
        return QVariant::fromValue((quint64(position + 1) << 40) + quint64(id));
    default:
        break;
    }
    if (isPointer(type))
        return pointerVariant(type, quintptr(kAddressBase + quint64(tag) * 8));
    if (type == QMetaType::fromType<QList<int>>())
        return QVariant::fromValue(QList<int>{id, -position - 1, 100 + tag});
    if (type == QMetaType::fromType<QList<void*>>()) {
        QList<void*> addresses;
        for (quint64 i = 0; i < 3; ++i)
            addresses << reinterpret_cast<void*>(
                quintptr(kAddressBase + quint64(tag) * 64 + i * 8));
        return QVariant::fromValue(addresses);
    }
    return QVariant(); // an unknown type: the caller fails
}

// The element that carries an argument of `type` (the message type rule).
QVariant expectedElement(QMetaType type, const QVariant& argument)
{
    if (isPointer(type))
        return QVariant::fromValue(qulonglong(pointerValue(argument)));
    if (type == QMetaType::fromType<QList<int>>()) {
        QVariantList entries;
        for (int entry : argument.value<QList<int>>())
            entries << QVariant::fromValue(entry);
        return entries;
    }
    if (type == QMetaType::fromType<QList<void*>>()) {
        QVariantList entries;
        for (void* entry : argument.value<QList<void*>>())
            entries << QVariant::fromValue(qulonglong(quintptr(entry)));
        return entries;
    }
    return argument; // uint, int, bool, double, qulonglong as they are
}

// The value that a signal parameter of type `to` receives for an argument of type `from`: the
// same, or one of the bridges between sender and receiver types.
QVariant expectedArgument(QMetaType from, QMetaType to, const QVariant& argument)
{
    if (from == to)
        return argument;
    if (from.id() == QMetaType::Int && to.id() == QMetaType::Double)
        return QVariant::fromValue(double(argument.toInt()));
    if (from.id() == QMetaType::Int && to.id() == QMetaType::UInt)
        return QVariant::fromValue(quint32(argument.toInt()));
    return QVariant(); // no such bridge: the comparison fails
}

bool invoke(const QMetaMethod& method, QObject* object, const QVariantList& args)
{
    const QList<QByteArray> names = method.parameterTypes();
    QGenericArgument a[10];
    for (qsizetype k = 0; k < args.size() && k < 10; ++k)
        a[k] = QGenericArgument(names.at(k).constData(), args.at(k).constData());
    return method.invoke(object, Qt::DirectConnection, a[0], a[1], a[2], a[3], a[4], a[5], a[6],
                         a[7], a[8], a[9]);
}

SignalLog::Entry entry(const char* signature, const QVariantList& args = {})
{
    return SignalLog::Entry{busMethod(signature).methodSignature(), args};
}

QVariantList message(std::initializer_list<QVariant> elements)
{
    return QVariantList(elements);
}

} // namespace

// Receives typed signals across threads through string-based connections, which need the
// metatypes that the bus registers.
class QueuedReceiver : public QObject
{
    Q_OBJECT
public:
    CwKeyControlAbstract* key = nullptr;
    QList<void*> buffers;
    QList<int> values;
    int calls = 0;

public slots:
    void onKey(CwKeyControlAbstract* p)
    {
        key = p;
        ++calls;
    }
    void onBuffers(QList<void*> list)
    {
        buffers = list;
        ++calls;
    }
    void onValues(quint32, QList<int> list)
    {
        values = list;
        ++calls;
    }
};

class tst_quorvexCommand : public QObject
{
    Q_OBJECT
private slots:
    void tableCoversEveryId();
    void membersAreExactlyTheTable();
    void wholeTable_data();
    void wholeTable();
    void specExamples();
    void dropped_data();
    void dropped();
    void intToDouble();
    void negativeIntToUint_data();
    void negativeIntToUint();
    void fanFlagAsUint();
    void openAndStart_data();
    void openAndStart();
    void keyObject();
    void listsKeepOrder();
    void pointerRoundTrip_data();
    void pointerRoundTrip();
    void queuedAcrossThreads();
};

// The test's own table must list each of the 187 IDs once, so that wholeTable runs over all.
void tst_quorvexCommand::tableCoversEveryId()
{
    QList<int> ids;
    for (const Row& row : kTable)
        ids << row.id;
    QCOMPARE(ids.size(), 187);
    for (int id = 0; id <= 186; ++id)
        QCOMPARE(ids.at(id), id);
}

// Every signature of the table names a public slot or a signal of the bus, and the bus has no
// other slot or signal of its own: 190 encoders plus setCommand, 190 typed signals plus sCommand.
void tst_quorvexCommand::membersAreExactlyTheTable()
{
    QList<const char*> slotNames(std::begin(kExtraSlots), std::end(kExtraSlots));
    QList<const char*> signalNames(std::begin(kExtraSignals), std::end(kExtraSignals));
    for (const Row& row : kTable) {
        if (row.encoder) {
            slotNames << row.encoder;
            signalNames << row.signal;
        }
    }
    QCOMPARE(slotNames.size(), 191);
    QCOMPARE(signalNames.size(), 191);

    QSet<int> found;
    for (const char* name : slotNames) {
        const QMetaMethod method = busMethod(name);
        QVERIFY2(method.isValid(), name);
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
        QCOMPARE(method.access(), QMetaMethod::Public);
        found << method.methodIndex();
    }
    for (const char* name : signalNames) {
        const QMetaMethod method = busMethod(name);
        QVERIFY2(method.isValid(), name);
        QCOMPARE(method.methodType(), QMetaMethod::Signal);
        found << method.methodIndex();
    }
    QCOMPARE(found.size(), 382);

    const QMetaObject& meta = quorvexCommand::staticMetaObject;
    int own = 0;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        if (method.methodType() == QMetaMethod::Slot || method.methodType() == QMetaMethod::Signal)
            ++own;
        QVERIFY2(method.methodType() == QMetaMethod::Constructor || found.contains(i),
                 method.methodSignature().constData());
    }
    QCOMPARE(own, 382);
}

void tst_quorvexCommand::wholeTable_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("encoder");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<int>("flags"); // bit j: the value of the row's j-th bool parameter

    for (const Row& row : kTable) {
        if (!row.encoder) {
            QTest::addRow("%d unassigned", row.id) << row.id << QByteArray() << QByteArray() << 0;
            continue;
        }
        const int bools = int(QByteArray(row.encoder).count("bool"));
        for (int variant = 0; variant <= bools; ++variant) {
            const int flags = variant == 0 ? 0 : 1 << (variant - 1);
            QTest::addRow("%d %s flags=%d", row.id, row.encoder, flags)
                << row.id << QByteArray(row.encoder) << QByteArray(row.signal) << flags;
        }
    }
}

// For one row: the encoder, called through the meta-object, emits exactly [ID, elements] on
// sCommand; a second bus decodes that message into the row's signal with equal values, and
// the same message with one more element alike; one element less gives no signal.
void tst_quorvexCommand::wholeTable()
{
    QFETCH(int, id);
    QFETCH(QByteArray, encoder);
    QFETCH(QByteArray, signal);
    QFETCH(int, flags);

    quorvexCommand sender, receiver;
    SignalLog sent(&sender), received(&receiver);

    if (encoder.isEmpty()) {
        receiver.setCommand(message({id, 1u, 2u, true, 3.5}));
        COMPARE_SIGNALS(received.entries, kNoSignal);
        return;
    }

    const QMetaMethod encode = busMethod(encoder);
    const QMetaMethod decoded = busMethod(signal);
    QVERIFY2(encode.isValid(), "no encoder slot " + encoder);
    QVERIFY2(decoded.isValid(), "no typed signal " + signal);
    QCOMPARE(decoded.parameterCount(), encode.parameterCount());
    const int count = encode.parameterCount();

    QVariantList args;
    for (int k = 0, b = 0; k < count; ++k) {
        const QMetaType type = encode.parameterMetaType(k);
        const bool flag = type.id() == QMetaType::Bool && ((flags >> b++) & 1);
        args << sample(type, id, k, flag);
        QVERIFY2(args.last().isValid(), type.name());
    }

    // Encoding.
    QVERIFY(invoke(encode, &sender, args));
    QCOMPARE(sent.entries.size(), 1);
    QCOMPARE(sent.entries.at(0).signature, QByteArray("sCommand(QVariant)"));
    const QVariant wrapped = sent.entries.at(0).args.at(0);
    QCOMPARE(wrapped.typeId(), int(QMetaType::QVariantList));
    const QVariantList list = wrapped.toList();
    QCOMPARE(list.size(), count + 1);
    COMPARE_ELEMENT(list.at(0), QVariant::fromValue(id));
    for (int k = 0; k < count; ++k) {
        const QVariant expected = id == 107 // the fan flag travels as a uint
                                      ? QVariant::fromValue(quint32(args.at(k).toBool()))
                                      : expectedElement(encode.parameterMetaType(k), args.at(k));
        COMPARE_ELEMENT(list.at(k + 1), expected);
    }

    // Decoding.
    QVariantList expectedArgs;
    for (int k = 0; k < count; ++k)
        expectedArgs << expectedArgument(encode.parameterMetaType(k), decoded.parameterMetaType(k),
                                         args.at(k));
    QList<SignalLog::Entry> expected{{decoded.methodSignature(), expectedArgs}};
    if (id == 0)
        expected << entry(args.at(0).toBool() ? "sOpen()" : "sClose()");
    if (id == 1)
        expected << entry(args.at(0).toBool() ? "sStart()" : "sStop()");

    receiver.setCommand(list);
    COMPARE_SIGNALS(received.entries, expected);
    QVERIFY(sent.entries.size() == 1); // decoding sends nothing

    received.entries.clear();
    receiver.setCommand(QVariantList(list) << QVariant::fromValue(77u));
    COMPARE_SIGNALS(received.entries, expected);

    if (count > 0) {
        received.entries.clear();
        receiver.setCommand(list.mid(0, count));
        COMPARE_SIGNALS(received.entries, kNoSignal);
    }
}

// Documented examples of the message format, through the typed C++ interface.
void tst_quorvexCommand::specExamples()
{
    quorvexCommand bus;
    QSignalSpy spy(&bus, &quorvexCommand::sCommand);
    auto last = [&] { return spy.takeLast().at(0).toList(); };

    bus.close();
    COMPARE_ELEMENT(QVariant(last()), QVariant(message({0, false})));
    bus.rxVfo(0, 1, 1900000.0);
    COMPARE_ELEMENT(QVariant(last()), QVariant(message({19, 0u, 1u, 1900000.0})));
    bus.rxEqualizer(2, QList<int>{1, -2, 3});
    COMPARE_ELEMENT(QVariant(last()), QVariant(message({49, 2u, message({1, -2, 3})})));
    bus.rxXitEnable(1, 0, true);
    COMPARE_ELEMENT(QVariant(last()), QVariant(message({59, 1u, 0u, true})));
    bus.rxXitReset(1, 0);
    COMPARE_ELEMENT(QVariant(last()), QVariant(message({58, 1u, 0u})));
    bus.rxMode(0, 0, 4);
    COMPARE_ELEMENT(QVariant(last()), QVariant(message({29, 0u, 0u, 4u})));

    SignalLog log(&bus);
    bus.setCommand(message({59, 1u, 0u, true}));
    bus.setCommand(message({58, 1u, 0u}));
    bus.setCommand(message({19, 0u, 1u, 1900000.0}));
    COMPARE_SIGNALS(
        log.entries,
        (QList<SignalLog::Entry>{entry("sRxXitEnable(quint32,quint32,bool)", {1u, 0u, true}),
                                 entry("sRxXitReset(quint32,quint32)", {1u, 0u}),
                                 entry("sRxVfo(quint32,quint32,double)", {0u, 1u, 1900000.0})}));
}

void tst_quorvexCommand::dropped_data()
{
    QTest::addColumn<QVariant>("cmd");
    QTest::newRow("invalid variant") << QVariant();
    QTest::newRow("int, not a list") << QVariant(19);
    QTest::newRow("string") << QVariant(QStringLiteral("19"));
    QTest::newRow("string list") << QVariant(QStringList{"19", "0", "1", "7.0"});
    QTest::newRow("empty list") << QVariant(QVariantList());
    QTest::newRow("53 alone") << QVariant(message({53}));
    QTest::newRow("53 with arguments") << QVariant(message({53, 0u, 1u, true}));
    QTest::newRow("187") << QVariant(message({187}));
    QTest::newRow("187 with arguments") << QVariant(message({187, 0u, 1.5}));
    QTest::newRow("-1") << QVariant(message({-1}));
    QTest::newRow("-1 with arguments") << QVariant(message({-1, 0u, 1u, 2.0}));
    QTest::newRow("string ID, no flag") << QVariant(message({QStringLiteral("abc")})); // as ID 0
    QTest::newRow("one element short") << QVariant(message({19, 0u, 1u}));
    QTest::newRow("list row without its list") << QVariant(message({49, 2u}));
    QTest::newRow("open without its flag") << QVariant(message({0}));
    QTest::newRow("183 without its pointer") << QVariant(message({183}));
}

// None of these produces any signal.
void tst_quorvexCommand::dropped()
{
    QFETCH(QVariant, cmd);
    quorvexCommand bus;
    SignalLog log(&bus);
    bus.setCommand(cmd);
    COMPARE_SIGNALS(log.entries, kNoSignal);
    QCOMPARE(bus.cwKeyObject(), nullptr);
}

// Command 33 carries an int; its signal takes a double with the integer's value.
void tst_quorvexCommand::intToDouble()
{
    quorvexCommand bus;
    QSignalSpy sent(&bus, &quorvexCommand::sCommand);
    bus.rxNB1Level(3, -7);
    const QVariantList list = sent.at(0).at(0).toList();
    COMPARE_ELEMENT(QVariant(list), QVariant(message({33, 3u, -7})));

    SignalLog log(&bus);
    bus.setCommand(list);
    COMPARE_SIGNALS(log.entries,
                    (QList<SignalLog::Entry>{entry("sRxNB1Level(quint32,double)", {3u, -7.0})}));
}

void tst_quorvexCommand::negativeIntToUint_data()
{
    QTest::addColumn<QByteArray>("encoder");
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("signal");
    QTest::newRow("84") << QByteArray("cwBreakInValue(int)") << 84
                        << QByteArray("sCwBreakInValue(quint32)");
    QTest::newRow("85") << QByteArray("cwPitch(int)") << 85 << QByteArray("sCwPitch(quint32)");
    QTest::newRow("86") << QByteArray("cwWidth(int)") << 86 << QByteArray("sCwWidth(quint32)");
    QTest::newRow("87") << QByteArray("cwRamp(int)") << 87 << QByteArray("sCwRamp(quint32)");
}

// Commands 84 to 87 carry an int; their signals take a quint32, so -1 arrives as 4294967295.
void tst_quorvexCommand::negativeIntToUint()
{
    QFETCH(QByteArray, encoder);
    QFETCH(int, id);
    QFETCH(QByteArray, signal);

    quorvexCommand bus;
    QSignalSpy sent(&bus, &quorvexCommand::sCommand);
    QVERIFY(invoke(busMethod(encoder), &bus, {-1}));
    const QVariantList list = sent.at(0).at(0).toList();
    COMPARE_ELEMENT(QVariant(list), QVariant(message({id, -1})));

    SignalLog log(&bus);
    bus.setCommand(list);
    COMPARE_SIGNALS(log.entries,
                    (QList<SignalLog::Entry>{entry(signal.constData(), {4294967295u})}));
}

// Command 107 carries its flag as a uint 0 or 1; the signal is true for anything but 0.
void tst_quorvexCommand::fanFlagAsUint()
{
    quorvexCommand bus;
    QSignalSpy sent(&bus, &quorvexCommand::sCommand);
    bus.setSensorFan(true);
    bus.setSensorFan(false);
    COMPARE_ELEMENT(sent.at(0).at(0), QVariant(message({107, 1u})));
    COMPARE_ELEMENT(sent.at(1).at(0), QVariant(message({107, 0u})));

    SignalLog log(&bus);
    bus.setCommand(message({107, 1u}));
    bus.setCommand(message({107, 0u}));
    bus.setCommand(message({107, 5u}));
    COMPARE_SIGNALS(log.entries, (QList<SignalLog::Entry>{entry("sSensorFan(bool)", {true}),
                                                          entry("sSensorFan(bool)", {false}),
                                                          entry("sSensorFan(bool)", {true})}));
}

void tst_quorvexCommand::openAndStart_data()
{
    QTest::addColumn<QByteArray>("encoder");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QVariantList>("expected");
    QTest::addColumn<QByteArray>("then");

    QTest::newRow("open(true)") << QByteArray("open(bool)") << message({true}) << message({0, true})
                                << QByteArray("sOpen()");
    QTest::newRow("open(false)") << QByteArray("open(bool)") << message({false})
                                 << message({0, false}) << QByteArray("sClose()");
    QTest::newRow("open()") << QByteArray("open()") << message({}) << message({0, true})
                            << QByteArray("sOpen()");
    QTest::newRow("close()") << QByteArray("close()") << message({}) << message({0, false})
                             << QByteArray("sClose()");
    QTest::newRow("start(true)") << QByteArray("start(bool)") << message({true})
                                 << message({1, true}) << QByteArray("sStart()");
    QTest::newRow("start(false)") << QByteArray("start(bool)") << message({false})
                                  << message({1, false}) << QByteArray("sStop()");
    QTest::newRow("start()") << QByteArray("start()") << message({}) << message({1, true})
                             << QByteArray("sStart()");
    QTest::newRow("stop()") << QByteArray("stop()") << message({}) << message({1, false})
                            << QByteArray("sStop()");
}

// Commands 0 and 1: three encoders each; on receipt the flag's signal, then the one for its
// value, in this order.
void tst_quorvexCommand::openAndStart()
{
    QFETCH(QByteArray, encoder);
    QFETCH(QVariantList, args);
    QFETCH(QVariantList, expected);
    QFETCH(QByteArray, then);

    quorvexCommand bus;
    QSignalSpy sent(&bus, &quorvexCommand::sCommand);
    QVERIFY(invoke(busMethod(encoder), &bus, args));
    QCOMPARE(sent.size(), 1);
    COMPARE_ELEMENT(sent.at(0).at(0), QVariant(expected));

    SignalLog log(&bus);
    bus.setCommand(expected);
    const char* first = expected.at(0).toInt() == 0 ? "sOpen(bool)" : "sStart(bool)";
    COMPARE_SIGNALS(log.entries, (QList<SignalLog::Entry>{entry(first, {expected.at(1)}),
                                                          entry(then.constData())}));
}

// Command 183: the bus emits the pointer, then keeps it as the key object, also a null one.
void tst_quorvexCommand::keyObject()
{
    FakeKeyControl key;
    quorvexCommand host, plugin;
    QCOMPARE(plugin.cwKeyObject(), nullptr);

    QVERIFY(
        QObject::connect(&host, SIGNAL(sCommand(QVariant)), &plugin, SLOT(setCommand(QVariant))));
    QList<CwKeyControlAbstract*> emitted, keptWhileEmitting;
    QObject::connect(&plugin, &quorvexCommand::sCWKeyObject, &plugin, [&](CwKeyControlAbstract* p) {
        emitted << p;
        keptWhileEmitting << plugin.cwKeyObject();
    });

    host.setCWKeyObject(&key);
    QCOMPARE(plugin.cwKeyObject(), &key);
    host.setCWKeyObject(nullptr);
    QCOMPARE(plugin.cwKeyObject(), nullptr);
    QCOMPARE(emitted, (QList<CwKeyControlAbstract*>{&key, nullptr}));
    QCOMPARE(keptWhileEmitting, (QList<CwKeyControlAbstract*>{nullptr, &key}));
    QCOMPARE(host.cwKeyObject(), nullptr); // encoding keeps nothing
}

// Nested lists keep their entries in order, both ways.
void tst_quorvexCommand::listsKeepOrder()
{
    quorvexCommand bus;
    QSignalSpy sent(&bus, &quorvexCommand::sCommand);
    const QList<int> values{5, -4, 3, -2, 1};
    bus.txEqualizer(1, values);
    int a = 0, b = 0, c = 0;
    const QList<void*> buffers{&c, &a, &b};
    bus.lineOutBuffers(buffers);

    QVariantList addresses;
    for (void* p : buffers)
        addresses << QVariant::fromValue(qulonglong(quintptr(p)));
    COMPARE_ELEMENT(sent.at(0).at(0), QVariant(message({78, 1u, message({5, -4, 3, -2, 1})})));
    COMPARE_ELEMENT(sent.at(1).at(0), QVariant(message({176, addresses})));

    SignalLog log(&bus);
    bus.setCommand(sent.at(0).at(0));
    bus.setCommand(sent.at(1).at(0));
    COMPARE_SIGNALS(log.entries, (QList<SignalLog::Entry>{entry("sTxEqualizer(quint32,QList<int>)",
                                                                {1u, QVariant::fromValue(values)}),
                                                          entry("sLineOutBuffers(QList<void*>)",
                                                                {QVariant::fromValue(buffers)})}));
}

void tst_quorvexCommand::pointerRoundTrip_data()
{
    QTest::addColumn<quint64>("address");
    QTest::newRow("null") << quint64(0);
    QTest::newRow("low") << quint64(0x1000);
    QTest::newRow("above 32 bits") << quint64(0x00007FFF12345678ull);
    QTest::newRow("sign bit set") << quint64(0xFFFF800012345678ull);
    QTest::newRow("all ones") << quint64(0xFFFFFFFFFFFFFFFFull);
}

// A 64-bit address survives encoding and decoding unchanged, as the qulonglong element holds it.
void tst_quorvexCommand::pointerRoundTrip()
{
    QFETCH(quint64, address);
    if (sizeof(void*) < sizeof(quint64) && address > 0xFFFFFFFFull)
        QSKIP("32-bit addresses");
    void* pointer = reinterpret_cast<void*>(quintptr(address));

    quorvexCommand bus;
    QSignalSpy sent(&bus, &quorvexCommand::sCommand);
    QSignalSpy ring(&bus, &quorvexCommand::sScRingBuffer);
    bus.scRingBuffer(pointer);
    COMPARE_ELEMENT(sent.at(0).at(0),
                    QVariant(message({98, QVariant::fromValue(qulonglong(address))})));
    bus.setCommand(sent.at(0).at(0));
    QCOMPARE(ring.size(), 1);
    QCOMPARE(ring.at(0).at(0).value<void*>(), pointer);

    auto* key = reinterpret_cast<CwKeyControlAbstract*>(quintptr(address));
    bus.setCWKeyObject(key);
    bus.setCommand(sent.at(1).at(0));
    QCOMPARE(bus.cwKeyObject(), key);
}

// Typed signals that carry a key object or a list reach a receiver in another thread through
// string-based queued connections, which need the metatypes that the bus registers.
void tst_quorvexCommand::queuedAcrossThreads()
{
    quorvexCommand bus;
    for (const char* name : {"QList<void*>", "QList<int>", "CwKeyControlAbstract*"})
        QVERIFY2(QMetaType::fromName(name).isValid(), name);

    QueuedReceiver receiver;
    QVERIFY(QObject::connect(&bus, SIGNAL(sCWKeyObject(CwKeyControlAbstract*)), &receiver,
                             SLOT(onKey(CwKeyControlAbstract*)), Qt::QueuedConnection));
    QVERIFY(QObject::connect(&bus, SIGNAL(sLineOutBuffers(QList<void*>)), &receiver,
                             SLOT(onBuffers(QList<void*>)), Qt::QueuedConnection));
    QVERIFY(QObject::connect(&bus, SIGNAL(sRxEqualizer(quint32, QList<int>)), &receiver,
                             SLOT(onValues(quint32, QList<int>)), Qt::QueuedConnection));

    FakeKeyControl key;
    int a = 0, b = 0;
    QScopedPointer<QThread> worker(QThread::create([&] {
        bus.setCommand(message({183, QVariant::fromValue(qulonglong(quintptr(&key)))}));
        bus.setCommand(message({176, message({QVariant::fromValue(qulonglong(quintptr(&b))),
                                              QVariant::fromValue(qulonglong(quintptr(&a)))})}));
        bus.setCommand(message({49, 0u, message({3, 2, 1})}));
    }));
    worker->start();
    QVERIFY(worker->wait(5000));
    QTRY_COMPARE(receiver.calls, 3);
    QCOMPARE(receiver.key, &key);
    QCOMPARE(receiver.buffers, (QList<void*>{&b, &a}));
    QCOMPARE(receiver.values, (QList<int>{3, 2, 1}));
}

QTEST_GUILESS_MAIN(tst_quorvexCommand)
#include "tst_quorvexCommand.moc"
