// A channel's panel saved to and restored from a QSettings INI file: both groups round-trip,
// an empty store gives the defaults ("Options") or changes nothing ("RX"), unusable values are
// replaced or ignored, port names are found again after the port list changes order, a
// stored "Enable" opens the port with the parameters restored just before it, and the by-name
// load moves a port the positional load opened on the wrong device (or closes it when the stored
// device is gone).

#include "ChannelHarness.h"
#include "ControlTestAccess.h"
#include "OpenWatch.h"
#include "PtyPair.h"
#include "TcpClient.h"

#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <termios.h>

class tst_channel_settings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void roundTrip_data();
    void roundTrip();
    void emptyOptionsGivesDefaults();
    void emptyRxChangesNothing();
    void unusableValues_data();
    void unusableValues();
    void portsFoundByName();
    void enableOpensWithRestoredParameters();
    void restartOpensStoredPort_data();
    void restartOpensStoredPort();
    void tcpServerRestored();

private:
    QString iniPath() const { return dir.filePath("settings.ini"); }
    QTemporaryDir dir;
};

namespace
{

constexpr const char* checkBoxes[] = {"chbAntSw",
                                      "chbFR",
                                      "chbEnable",
                                      "chbDTR",
                                      "chbRTS",
                                      "chbEnablePtt",
                                      "chbDTR_FootSwitch",
                                      "chbRTS_FootSwitch",
                                      "chbEnableFootswitch",
                                      "chbTcpEnable"};
constexpr const char* comboBoxes[] = {"cbPortName", "cbParity",      "cbData",
                                      "cbStopBit",  "cbBoudRate",    "cbPttLine",
                                      "cbKeyLine",  "cbPortNamePTT", "cbPortNameFootSwitch"};
constexpr const char* portLists[] = {"cbPortName", "cbPortNamePTT", "cbPortNameFootSwitch"};

// Every stored widget's state, as "name=value".
QStringList snapshot(const ChannelHarness& channel)
{
    QStringList state;
    for (const char* name : checkBoxes)
        state << QString("%1=%2").arg(name).arg(channel.box(name)->isChecked());
    for (const char* name : comboBoxes)
        state << QString("%1=%2 %3")
                     .arg(name)
                     .arg(channel.combo(name)->currentIndex())
                     .arg(channel.combo(name)->currentText());
    state << QString("sbTcpPort=%1").arg(channel.widget<QSpinBox>("sbTcpPort")->value());
    for (const char* name : {"leTcpConnect", "leTcpTransmit"})
        state << QString("%1=%2").arg(name, channel.widget<QLineEdit>(name)->text());
    return state;
}

void setPortLists(const ChannelHarness& channel, const QStringList& ports)
{
    for (const char* name : portLists) {
        channel.combo(name)->clear();
        channel.combo(name)->addItems(ports);
    }
}

// A panel far from every default, with all ports closed.
void setUnusualPanel(const ChannelHarness& channel)
{
    setPortLists(channel, {"COMA", "COMB", "COMC"});
    const std::pair<const char*, int> rows[] = {
        {"cbPortName", 2}, {"cbParity", 2},      {"cbData", 1},
        {"cbStopBit", 2},  {"cbBoudRate", 6},    {"cbPttLine", 2},
        {"cbKeyLine", 1},  {"cbPortNamePTT", 1}, {"cbPortNameFootSwitch", 2}};
    for (const auto& [name, row] : rows)
        channel.combo(name)->setCurrentIndex(row);
    for (const char* name : {"chbAntSw", "chbDTR", "chbRTS_FootSwitch"})
        channel.box(name)->setChecked(true);
    channel.box("chbFR")->setChecked(false);
    channel.widget<QSpinBox>("sbTcpPort")->setValue(5123);
    channel.widget<QLineEdit>("leTcpConnect")->setText("127.0.0.1, 192.168.1.0/24");
    channel.widget<QLineEdit>("leTcpTransmit")->setText("192.168.1.7");
}

} // namespace

void tst_channel_settings::init()
{
    QFile::remove(iniPath());
}

void tst_channel_settings::roundTrip_data()
{
    QTest::addColumn<bool>("rx");
    QTest::addColumn<QString>("storedName"); // CAT port name as the INI file shows it
    QTest::newRow("Options") << false << "TS480/Options1/Name=2";
    QTest::newRow("RX") << true << "CAT_TS480/RX1/Name=@ByteArray(COMC)";
}

void tst_channel_settings::roundTrip()
{
    QFETCH(bool, rx);
    QFETCH(QString, storedName);
    const QString outer = rx ? "CAT_TS480" : "TS480";

    ChannelHarness saved(1);
    setUnusualPanel(saved);
    {
        QSettings settings(iniPath(), QSettings::IniFormat);
        settings.beginGroup(outer);
        rx ? saved.control.writeRxSettings(&settings) : saved.control.writeOptions(&settings);
        QCOMPARE(settings.group(), outer);
        settings.endGroup();
    }
    QSettings file(iniPath(), QSettings::IniFormat);
    file.beginGroup(outer + (rx ? "/RX1" : "/Options1"));
    QCOMPARE(file.childKeys().size(), 22);
    QCOMPARE(file.value("TcpPort").toInt(), 5123);
    QCOMPARE(file.value("TcpTransmit").toString(), "192.168.1.7");
    file.endGroup();
    const QString name = storedName.section('=', 0, 0);
    QCOMPARE(file.value(name).toString(), rx ? "COMC" : "2");
    QVERIFY(QString::fromLatin1([this] {
                QFile ini(iniPath());
                ini.open(QIODevice::ReadOnly);
                return ini.readAll();
            }())
                .contains(storedName.section('/', 2)));

    ChannelHarness restored(1);
    setPortLists(restored, {"COMA", "COMB", "COMC"});
    file.beginGroup(outer);
    rx ? restored.control.readRxSettings(&file) : restored.control.readOptions(&file);
    QCOMPARE(file.group(), outer);
    QCOMPARE(snapshot(restored), snapshot(saved));
    QVERIFY(ControlTestAccess::cache(restored.control).antSwEnable);
    QVERIFY(!ControlTestAccess::cache(restored.control).enableFr);
}

void tst_channel_settings::emptyOptionsGivesDefaults()
{
    ChannelHarness channel;
    setUnusualPanel(channel);
    QSettings empty(iniPath(), QSettings::IniFormat);
    channel.control.readOptions(&empty);

    QCOMPARE(channel.combo("cbData")->currentText(), "8");
    QCOMPARE(channel.combo("cbBoudRate")->currentText(), "9600");
    QCOMPARE(channel.combo("cbParity")->currentIndex(), 0);
    QCOMPARE(channel.combo("cbStopBit")->currentIndex(), 0);
    QCOMPARE(channel.combo("cbPttLine")->currentIndex(), 0);
    QCOMPARE(channel.combo("cbPortName")->currentIndex(), 0);
    QVERIFY(channel.box("chbFR")->isChecked());
    QVERIFY(!channel.box("chbAntSw")->isChecked());
    QVERIFY(!channel.box("chbDTR")->isChecked());
    QVERIFY(ControlTestAccess::cache(channel.control).enableFr);
    QVERIFY(!channel.control.isRunning());
    QVERIFY(!ControlTestAccess::linePollActive(channel.control));
    // A settings file from before the TCP server: closed, on the channel's own port, for this
    // machine only.
    QVERIFY(!channel.box("chbTcpEnable")->isChecked());
    QCOMPARE(ControlTestAccess::tcpPort(channel.control), 0);
    QCOMPARE(channel.widget<QSpinBox>("sbTcpPort")->value(), 4480);
    QCOMPARE(channel.widget<QLineEdit>("leTcpConnect")->text(), "127.0.0.1, ::1");
    QCOMPARE(channel.widget<QLineEdit>("leTcpTransmit")->text(), "127.0.0.1, ::1");
}

void tst_channel_settings::emptyRxChangesNothing()
{
    ChannelHarness channel;
    setUnusualPanel(channel);
    const QStringList before = snapshot(channel);
    QSettings empty(iniPath(), QSettings::IniFormat);
    channel.control.readRxSettings(&empty);
    QCOMPARE(snapshot(channel), before);
}

void tst_channel_settings::unusableValues_data()
{
    QTest::addColumn<bool>("rx");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("widget");
    QTest::addColumn<int>("row"); // expected; every box starts at row 1

    QTest::newRow("Options Data 7") << false << "Data" << QVariant(7) << "cbData" << 3;
    QTest::newRow("Options Data text") << false << "Data" << QVariant("abc") << "cbData" << 3;
    QTest::newRow("Options Parity -1") << false << "Parity" << QVariant(-1) << "cbParity" << 0;
    QTest::newRow("Options BoudRate 5") << false << "BoudRate" << QVariant(5) << "cbBoudRate" << 5;
    QTest::newRow("Options Name 99") << false << "Name" << QVariant(99) << "cbPortName" << 0;
    QTest::newRow("RX Data 7") << true << "Data" << QVariant(7) << "cbData" << 1;
    QTest::newRow("RX Data text") << true << "Data" << QVariant("abc") << "cbData" << 1;
    QTest::newRow("RX Parity -1") << true << "Parity" << QVariant(-1) << "cbParity" << 1;
    QTest::newRow("RX BoudRate 5") << true << "BoudRate" << QVariant(5) << "cbBoudRate" << 5;
    QTest::newRow("RX unknown port")
        << true << "PttName" << QVariant(QByteArray("COMZ")) << "cbPortNamePTT" << 1;
    QTest::newRow("RX first port")
        << true << "PttNameFootSw" << QVariant(QByteArray("COMA")) << "cbPortNameFootSwitch" << 0;
}

void tst_channel_settings::unusableValues()
{
    QFETCH(bool, rx);
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    QFETCH(QString, widget);
    QFETCH(int, row);

    {
        QSettings settings(iniPath(), QSettings::IniFormat);
        settings.setValue((rx ? "RX0/" : "Options0/") + key, value);
    }
    ChannelHarness channel;
    setPortLists(channel, {"COMA", "COMB", "COMC"});
    QComboBox* box = channel.combo(qPrintable(widget));
    box->setCurrentIndex(1);
    QSettings settings(iniPath(), QSettings::IniFormat);
    rx ? channel.control.readRxSettings(&settings) : channel.control.readOptions(&settings);
    QCOMPARE(box->currentIndex(), row);
}

// "RX" finds the ports again by name after the list changed order, the first position
// included; "Options" goes by position.
void tst_channel_settings::portsFoundByName()
{
    ChannelHarness saved;
    setPortLists(saved, {"COMA", "COMB", "COMC"});
    saved.combo("cbPortName")->setCurrentIndex(1);
    saved.combo("cbPortNamePTT")->setCurrentIndex(2);
    {
        QSettings settings(iniPath(), QSettings::IniFormat);
        saved.control.writeRxSettings(&settings);
        saved.control.writeOptions(&settings);
    }
    QSettings settings(iniPath(), QSettings::IniFormat);

    ChannelHarness byName;
    setPortLists(byName, {"COMB", "COMC", "COMA"});
    byName.combo("cbPortName")->setCurrentIndex(2);
    byName.control.readRxSettings(&settings);
    QCOMPARE(byName.combo("cbPortName")->currentText(), "COMB");
    QCOMPARE(byName.combo("cbPortNamePTT")->currentText(), "COMC");

    ChannelHarness byPosition;
    setPortLists(byPosition, {"COMB", "COMC", "COMA"});
    byPosition.control.readOptions(&settings);
    QCOMPARE(byPosition.combo("cbPortName")->currentText(), "COMC");
    QCOMPARE(byPosition.combo("cbPortNamePTT")->currentText(), "COMA");
}

void tst_channel_settings::enableOpensWithRestoredParameters()
{
    PtyPair catPty;
    PtyPair pttPty;
    const QStringList ports{"COMA", catPty.slavePath(), pttPty.slavePath()};
    {
        ChannelHarness saved;
        setPortLists(saved, ports);
        saved.combo("cbPortName")->setCurrentIndex(1);
        saved.combo("cbPortNamePTT")->setCurrentIndex(2);
        saved.combo("cbParity")->setCurrentIndex(2);   // even
        saved.combo("cbData")->setCurrentIndex(2);     // 7 bits
        saved.combo("cbStopBit")->setCurrentIndex(2);  // 2 stop bits
        saved.combo("cbBoudRate")->setCurrentIndex(7); // 115200
        saved.box("chbEnable")->setChecked(true);
        saved.box("chbEnablePtt")->setChecked(true);
        QVERIFY(saved.control.isRunning());
        QSettings settings(iniPath(), QSettings::IniFormat);
        saved.control.writeRxSettings(&settings);
    }

    ChannelHarness restored;
    setPortLists(restored, ports);
    QSettings settings(iniPath(), QSettings::IniFormat);
    restored.control.readRxSettings(&settings);
    QVERIFY(restored.box("chbEnable")->isChecked());
    QTRY_VERIFY(restored.control.isRunning());
    QVERIFY(restored.box("chbEnablePtt")->isChecked());
    QVERIFY(ControlTestAccess::linePollActive(restored.control));

    termios attributes{};
    QVERIFY(catPty.slaveAttributes(&attributes));
    // A pseudo-terminal keeps the stop bits and the speed (it forces 8 bits without parity).
    QVERIFY(attributes.c_cflag & CSTOPB);
    QCOMPARE(cfgetospeed(&attributes), speed_t(B115200));

    catPty.write("ID;");
    QCOMPARE(catPty.read(3000), QByteArray("ID020;"));
}

void tst_channel_settings::restartOpensStoredPort_data()
{
    QTest::addColumn<QString>("nameKey");
    QTest::addColumn<QString>("enableKey");
    QTest::addColumn<QString>("enableBox");
    QTest::addColumn<bool>("vanished"); // the stored name is no longer in the list
    QTest::addColumn<bool>("byName");   // the by-name load follows the positional one

    const std::array<std::array<const char*, 4>, 3> ports{{
        {"CAT", "Name", "Enable", "chbEnable"},
        {"PTT", "PttName", "EnablePtt", "chbEnablePtt"},
        {"footswitch", "PttNameFootSw", "EnableFootSw", "chbEnableFootswitch"},
    }};
    for (const auto& [port, nameKey, enableKey, box] : ports) {
        for (const bool vanished : {false, true})
            QTest::addRow("%s %s", port, vanished ? "vanished" : "moved")
                << nameKey << enableKey << box << vanished << true;
    }
    QTest::newRow("CAT, positional load only") << "Name"
                                               << "Enable"
                                               << "chbEnable" << false << false;
}

// The list changed since the save: the stored position now names another device. The
// positional load chooses that one; the by-name load must end on the named device, or on none,
// and the other device is never opened, not even for a moment. Ports open on the next turn of
// the event loop, also when the host calls the positional load only.
void tst_channel_settings::restartOpensStoredPort()
{
    QFETCH(QString, nameKey);
    QFETCH(QString, enableKey);
    QFETCH(QString, enableBox);
    QFETCH(bool, vanished);
    QFETCH(bool, byName);

    PtyPair named;
    PtyPair other;
    {
        QSettings settings(iniPath(), QSettings::IniFormat);
        settings.setValue("Options0/" + nameKey, 0);
        settings.setValue("Options0/" + enableKey, true);
        settings.setValue("RX0/" + nameKey, vanished ? QByteArray("/dev/unplugged-adapter")
                                                     : named.slavePath().toLatin1());
        settings.setValue("RX0/" + enableKey, true);
    }
    ChannelHarness channel;
    setPortLists(channel, {other.slavePath(), named.slavePath()});
    QSettings settings(iniPath(), QSettings::IniFormat);
    OpenWatch otherOpens;
    QVERIFY(otherOpens.watch(other.slavePath()));

    channel.control.readOptions(&settings);
    if (byName)
        channel.control.readRxSettings(&settings);
    QCOMPARE(other.slaveHolders() + named.slaveHolders(), 0);
    QCOMPARE(channel.box(qPrintable(enableBox))->isChecked(), !vanished);

    PtyPair& opened = byName ? named : other;
    QTRY_COMPARE(opened.slaveHolders(), vanished ? 0 : 1);
    QCoreApplication::processEvents();
    QCOMPARE(otherOpens.takeOpens(), byName ? 0 : 1);
    if (enableKey == "Enable") {
        QCOMPARE(channel.control.isRunning(), !vanished);
        if (!vanished) {
            opened.write("ID;");
            QCOMPARE(opened.read(3000), QByteArray("ID020;"));
        }
    }
}

// "TcpEnable" opens the server on the port and lists restored with it; a later restore with
// another port opens it again there.
void tst_channel_settings::tcpServerRestored()
{
    ChannelHarness channel(1);
    for (const quint16 port : {TcpClient::freePort(), TcpClient::freePort()}) {
        {
            QSettings settings(iniPath(), QSettings::IniFormat);
            settings.setValue("RX1/TcpPort", port);
            settings.setValue("RX1/TcpConnect", "127.0.0.1");
            settings.setValue("RX1/TcpEnable", true);
        }
        QSettings settings(iniPath(), QSettings::IniFormat);
        channel.control.readRxSettings(&settings);
        QVERIFY(channel.box("chbTcpEnable")->isChecked());
        QCOMPARE(ControlTestAccess::tcpPort(channel.control), port);
        QCOMPARE(channel.widget<QLineEdit>("leTcpConnect")->text(), "127.0.0.1");
        TcpClient client;
        QVERIFY(client.connectTo(port));
        QVERIFY(client.write("ID;"));
        QCOMPARE(client.read(3000), QByteArray("ID020;"));
    }
}

QTEST_MAIN(tst_channel_settings)
#include "tst_channel_settings.moc"
