// The plug-in object as a host sees it: loaded from the built library with QPluginLoader,
// cast by its interface, asked for tabs, channels, a device manager, the transmitter count
// (command 184) and its settings.

#include "CatAbstract.h"
#include "FakeDeviceManager.h"
#include "TransmitControls.h"

#include <QPluginLoader>
#include <QPointer>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

namespace
{

// Also counts who listens to its catEnableChanged: a channel that was handed the manager
// connects to it.
class ListenedManager : public FakeDeviceManager
{
public:
    int listeners() const { return receivers(SIGNAL(catEnableChanged(quint32, bool))); }
};

QVariant txChannelsMessage(quint32 count)
{
    return QVariantList{184, QVariant::fromValue(count)};
}

} // namespace

class tst_plugin : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void metadataNamesTheInterface();
    void typeCheck_data();
    void typeCheck();
    void nameIsTheRadio();
    void newInstanceAfterDeletion();
    void tabsFollowChannelCount_data();
    void tabsFollowChannelCount();
    void oneTabWidgetAfterRepeatedRebuilds();
    void noTabsWithoutLayout();
    void layoutGivenAgain();
    void hostDeletesTheLayoutFirst();
    void managerReachesChannelsAtNextSetChannels();
    void txChannelsCommandTogglesTransmitControls();
    void txFlagReachesNewChannelsOnlyWithManager();
    void settingsGroups_data();
    void settingsGroups();

private:
    QTabWidget* tabWidget() const;
    // Whether the control `name` is hidden on every channel (true) or shown on every channel
    // (false); fails the test when a channel differs.
    void verifyHiddenEverywhere(const QString& name, bool hidden);
    // The same for every transmit keying control.
    void verifyTransmitControlsHidden(bool hidden);

    QPluginLoader loader{QStringLiteral(KENWOOD_PLUGIN)};
    QPointer<CatAbstract> cat;
    QWidget* host = nullptr;
    QVBoxLayout* layout = nullptr;
};

void tst_plugin::init()
{
    cat = qobject_cast<CatAbstract*>(loader.instance());
    QVERIFY2(cat, qPrintable(loader.errorString()));
    host = new QWidget;
    layout = new QVBoxLayout(host);
}

void tst_plugin::cleanup()
{
    delete cat.data();
    delete host;
}

QTabWidget* tst_plugin::tabWidget() const
{
    if (layout->count() != 1)
        return nullptr;
    return qobject_cast<QTabWidget*>(layout->itemAt(0)->widget());
}

void tst_plugin::verifyHiddenEverywhere(const QString& name, bool hidden)
{
    QTabWidget* tabs = tabWidget();
    QVERIFY(tabs);
    QVERIFY(tabs->count() > 0);
    for (int i = 0; i < tabs->count(); ++i) {
        const auto found = tabs->widget(i)->findChildren<QWidget*>(name);
        QCOMPARE(found.size(), 1);
        QVERIFY2(found.first()->isHidden() == hidden,
                 qPrintable(QStringLiteral("%1 on RX %2").arg(name).arg(i + 1)));
    }
}

void tst_plugin::verifyTransmitControlsHidden(bool hidden)
{
    for (const char* name : transmitControlNames) {
        verifyHiddenEverywhere(name, hidden);
        if (QTest::currentTestFailed())
            return;
    }
}

void tst_plugin::metadataNamesTheInterface()
{
    const QJsonObject meta = loader.metaData();
    QCOMPARE(meta.value(QStringLiteral("IID")).toString(), QStringLiteral("Quorvex"));
    QCOMPARE(meta.value(QStringLiteral("className")).toString(), QStringLiteral("KenwoodTS480"));
}

void tst_plugin::typeCheck_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("isObject");
    QTest::newRow("class name") << QByteArray("KenwoodTS480") << true;
    QTest::newRow("interface identifier") << QByteArray("Quorvex") << true;
    QTest::newRow("interface class") << QByteArray("CatAbstract") << true;
    QTest::newRow("QObject") << QByteArray("QObject") << true;
    QTest::newRow("channel class") << QByteArray("Control") << false;
    QTest::newRow("other interface") << QByteArray("DeviceManagerAbstract") << false;
}

void tst_plugin::typeCheck()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, isObject);
    void* answer = cat->qt_metacast(name.constData());
    QCOMPARE(answer == static_cast<void*>(cat.data()), isObject);
    QCOMPARE(answer == nullptr, !isObject);
}

void tst_plugin::nameIsTheRadio()
{
    QCOMPARE(cat->name(), QStringLiteral("Kenwood TS480"));
    QCOMPARE(cat->qt_metacast(nullptr), nullptr);
}

void tst_plugin::newInstanceAfterDeletion()
{
    QCOMPARE(loader.instance(), static_cast<QObject*>(cat.data()));
    delete cat.data();
    QVERIFY(cat.isNull());
    cat = qobject_cast<CatAbstract*>(loader.instance());
    QVERIFY(cat);
    QCOMPARE(cat->name(), QStringLiteral("Kenwood TS480"));
}

void tst_plugin::tabsFollowChannelCount_data()
{
    QTest::addColumn<quint32>("count");
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("three") << 3u << QStringList{"RX 1", "RX 2", "RX 3"};
    QTest::newRow("one") << 1u << QStringList{"RX 1"};
    QTest::newRow("none") << 0u << QStringList{};
}

void tst_plugin::tabsFollowChannelCount()
{
    QFETCH(quint32, count);
    QFETCH(QStringList, titles);
    QVERIFY(cat->setOptionsLayout(layout, false, false));
    QVERIFY(tabWidget());
    QCOMPARE(tabWidget()->count(), 1); // one channel after construction

    cat->setChannels(count);
    QTabWidget* tabs = tabWidget();
    QVERIFY(tabs);
    QStringList shown;
    for (int i = 0; i < tabs->count(); ++i)
        shown << tabs->tabText(i);
    QCOMPARE(shown, titles);
}

void tst_plugin::oneTabWidgetAfterRepeatedRebuilds()
{
    cat->setOptionsLayout(layout, false, false);
    QPointer<QTabWidget> first = tabWidget();
    QPointer<QWidget> firstPanel = first->widget(0);
    cat->setChannels(2);
    cat->setChannels(3);
    QTabWidget* current = tabWidget();
    QVERIFY(current);
    QCOMPARE(current->count(), 3);
    QVERIFY(current != first);
    // The replaced tab widget and the panels it held are released by the event loop.
    QTRY_VERIFY(first.isNull());
    QVERIFY(firstPanel.isNull());
}

void tst_plugin::noTabsWithoutLayout()
{
    cat->setChannels(2);
    QCOMPARE(layout->count(), 0);
    cat->setOptionsLayout(layout, true, true);
    QVERIFY(tabWidget());
    QCOMPARE(tabWidget()->count(), 2);
}

void tst_plugin::layoutGivenAgain()
{
    cat->setChannels(2);
    cat->setOptionsLayout(layout, false, false);
    cat->setOptionsLayout(layout, false, false);
    QTabWidget* tabs = tabWidget();
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 2);

    // Another layout takes the one tab widget over.
    QWidget other;
    auto* otherLayout = new QVBoxLayout(&other);
    cat->setOptionsLayout(otherLayout, false, false);
    QCOMPARE(layout->count(), 0);
    QCOMPARE(otherLayout->count(), 1);
    QCOMPARE(otherLayout->itemAt(0)->widget(), tabs);
    QCOMPARE(tabs->count(), 2);
    cat->setChannels(1);
    QCOMPARE(otherLayout->count(), 1);
}

void tst_plugin::hostDeletesTheLayoutFirst()
{
    auto* other = new QWidget;
    cat->setOptionsLayout(new QVBoxLayout(other), false, false);
    cat->setChannels(2);
    // The host's widget takes the tab widget and the panels with it; the plug-in goes on
    // without them and is deleted cleanly afterwards.
    delete other;
    cat->setChannels(1);
    cat->setCommand(txChannelsMessage(0));
    cat->setOptionsLayout(layout, false, false);
    QVERIFY(tabWidget());
    QCOMPARE(tabWidget()->count(), 1);
}

void tst_plugin::managerReachesChannelsAtNextSetChannels()
{
    ListenedManager manager;
    cat->setChannels(2);
    cat->setManager(&manager);
    QCOMPARE(manager.listeners(), 0);
    cat->setChannels(3);
    QCOMPARE(manager.listeners(), 3);
    cat->setChannels(0);
    QCOMPARE(manager.listeners(), 0);
    QCOMPARE(manager.count(), 0); // no port was opened or closed
}

void tst_plugin::txChannelsCommandTogglesTransmitControls()
{
    cat->setOptionsLayout(layout, false, false);
    cat->setChannels(2);
    verifyTransmitControlsHidden(false);
    cat->setCommand(txChannelsMessage(0));
    verifyTransmitControlsHidden(true);
    cat->setCommand(txChannelsMessage(2));
    verifyTransmitControlsHidden(false);
}

void tst_plugin::txFlagReachesNewChannelsOnlyWithManager()
{
    FakeDeviceManager manager;
    cat->setOptionsLayout(layout, false, false);
    cat->setCommand(txChannelsMessage(0));
    verifyHiddenEverywhere(QStringLiteral("chbEnablePtt"), true);
    // Without a manager, rebuilt channels keep their controls visible.
    cat->setChannels(2);
    verifyHiddenEverywhere(QStringLiteral("chbEnablePtt"), false);
    cat->setManager(&manager);
    cat->setChannels(2);
    verifyHiddenEverywhere(QStringLiteral("chbEnablePtt"), true);
    cat->setChannels(0);
}

void tst_plugin::settingsGroups_data()
{
    QTest::addColumn<quint32>("count");
    QTest::addColumn<QStringList>("optionGroups");
    QTest::addColumn<QStringList>("catGroups");
    QTest::newRow("two channels") << 2u << QStringList{"Options0", "Options1"}
                                  << QStringList{"RX0", "RX1"};
    QTest::newRow("no channel") << 0u << QStringList{} << QStringList{};
}

void tst_plugin::settingsGroups()
{
    QFETCH(quint32, count);
    QFETCH(QStringList, optionGroups);
    QFETCH(QStringList, catGroups);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("host.ini"));
    cat->setChannels(count);
    {
        QSettings store(path, QSettings::IniFormat);
        // Reading an empty store gives the panel defaults (8 data bits, 9600 bit/s, closed).
        cat->loadSettings(&store);
        cat->loadCatSettings(&store);
        QCOMPARE(store.group(), QString());
        store.beginGroup(QStringLiteral("Host"));
        cat->saveSettings(&store);
        cat->saveCatSettings(&store);
        // The plug-in leaves the host's group as it found it.
        QCOMPARE(store.group(), QStringLiteral("Host"));
    }

    QSettings stored(path, QSettings::IniFormat);
    stored.beginGroup(QStringLiteral("Host"));
    QCOMPARE(stored.childKeys(), QStringList{});
    stored.beginGroup(QStringLiteral("TS480"));
    QCOMPARE(stored.childGroups(), optionGroups);
    QCOMPARE(stored.childKeys(), QStringList{});
    for (const QString& group : optionGroups) {
        QCOMPARE(stored.value(group + QStringLiteral("/Data")).toInt(), 3);
        QCOMPARE(stored.value(group + QStringLiteral("/BoudRate")).toInt(), 3);
        QCOMPARE(stored.value(group + QStringLiteral("/Enable")).toBool(), false);
    }
    stored.endGroup();
    stored.beginGroup(QStringLiteral("CAT_TS480"));
    QCOMPARE(stored.childGroups(), catGroups);
    QCOMPARE(stored.childKeys(), QStringList{});
    for (const QString& group : catGroups) {
        QCOMPARE(stored.value(group + QStringLiteral("/BoudRate")).toInt(), 3);
        QVERIFY(stored.contains(group + QStringLiteral("/Name")));
        QVERIFY(stored.contains(group + QStringLiteral("/EnableFootSw")));
    }
}

QTEST_MAIN(tst_plugin)
#include "tst_plugin.moc"
