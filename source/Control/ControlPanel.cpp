// Control and its options panel: building the panel and its ports, the panel's reactions, the
// device manager link, the transmit controls and the log view. All of it runs in the GUI thread.

#include "Control.h"

#include "AddressList.h"
#include "CheckedConnect.h"
#include "CwKeyControlAbstract.h"
#include "DeviceManagerAbstract.h"
#include "Options.h"
#include "SerialPortControl.h"
#include "VirtualPort.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QMetaMethod>
#include <QSpinBox>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>

namespace
{

// The log view keeps this many lines; older ones scroll away, so a client polling for days
// does not fill the host's memory.
constexpr int logViewLines = 5000;
// The log view is updated at most this often (25 times a second), one batch of the feed each
// time, so that a flood of lines costs the GUI thread a bounded share of its time.
constexpr qint64 logUpdateMs = 40;

// Hidden and shown together by setTxAvailable: the keying boxes, then their labels.
constexpr const char* transmitControls[] = {
    "cbPortNamePTT",
    "chbEnablePtt",
    "chbDTR",
    "chbRTS",
    "cbPortNameFootSwitch",
    "chbEnableFootswitch",
    "chbDTR_FootSwitch",
    "chbRTS_FootSwitch",
    "cbPttLine",
    "cbKeyLine",
    "lbPortNamePtt",
    "lbDtr",
    "lbRts",
    "lbPortNamePtt_2",
    "lbDtr_2",
    "lbRts_2",
    "lbPttLine",
    "lbKeyLine",
};

constexpr int messageBoxMinimumWidth = 500;

} // namespace

template <typename T> T* Control::panelChild(const char* name) const
{
    T* child = options->findChild<T*>(QLatin1String(name));
    if (!child)
        qFatal("The options panel has no %s", name);
    return child;
}

void Control::createObjects()
{
    // Backend 0 for all three ports. The CAT port is used by the worker, so it lives there.
    catPort = new SerialPortControl(0);
    // The worker turns every 500 us while a CAT line is watched and looks at the lines itself.
    catPort->setLinePollByOwner(true);
    ptt.port = new SerialPortControl(0);
    footSwitch.port = new SerialPortControl(0);
    catPort->moveToThread(this);

    options = new Options;
    panel.chbEnable = panelChild<QCheckBox>("chbEnable");
    panel.cbPortName = panelChild<QComboBox>("cbPortName");
    panel.lbVirtualPath = panelChild<QLabel>("lbVirtualPath");
    panel.cbParity = panelChild<QComboBox>("cbParity");
    panel.cbData = panelChild<QComboBox>("cbData");
    panel.cbStopBit = panelChild<QComboBox>("cbStopBit");
    panel.cbBoudRate = panelChild<QComboBox>("cbBoudRate");
    panel.cbPttLine = panelChild<QComboBox>("cbPttLine");
    panel.cbKeyLine = panelChild<QComboBox>("cbKeyLine");
    panel.chbAntSw = panelChild<QCheckBox>("chbAntSw");
    panel.chbFR = panelChild<QCheckBox>("chbFR");
    // Only the first transceiver has an antenna switch to offer.
    if (cache.transceiver != 0)
        panel.chbAntSw->hide();
    panel.chbEnablePtt = panelChild<QCheckBox>("chbEnablePtt");
    panel.cbPortNamePTT = panelChild<QComboBox>("cbPortNamePTT");
    panel.chbDTR = panelChild<QCheckBox>("chbDTR");
    panel.chbRTS = panelChild<QCheckBox>("chbRTS");
    panel.chbEnableFootswitch = panelChild<QCheckBox>("chbEnableFootswitch");
    panel.cbPortNameFootSwitch = panelChild<QComboBox>("cbPortNameFootSwitch");
    panel.chbDTR_FootSwitch = panelChild<QCheckBox>("chbDTR_FootSwitch");
    panel.chbRTS_FootSwitch = panelChild<QCheckBox>("chbRTS_FootSwitch");
    panel.chbTcpEnable = panelChild<QCheckBox>("chbTcpEnable");
    panel.sbTcpPort = panelChild<QSpinBox>("sbTcpPort");
    panel.leTcpConnect = panelChild<QLineEdit>("leTcpConnect");
    panel.leTcpTransmit = panelChild<QLineEdit>("leTcpTransmit");
    // Closed, on this channel's own port, and for this machine only until the user says more.
    panel.sbTcpPort->setValue(firstTcpPort + int(cache.transceiver));
    panel.leTcpConnect->setText(AddressList::defaultText());
    panel.leTcpTransmit->setText(AddressList::defaultText());
    panel.chbLog = panelChild<QCheckBox>("chbLog");
    panel.tbLog = panelChild<QTextBrowser>("tbLog");
    panel.tbLog->document()->setMaximumBlockCount(logViewLines);

    ptt = {ptt.port,
           false,
           CwKeyControlAbstract::PttPortSource,
           SLOT(openPTT(bool)),
           panel.chbEnablePtt,
           panel.cbPortNamePTT,
           panel.chbRTS,
           panel.chbDTR};
    footSwitch = {footSwitch.port,
                  false,
                  CwKeyControlAbstract::FootswitchSource,
                  SLOT(openFootSw(bool)),
                  panel.chbEnableFootswitch,
                  panel.cbPortNameFootSwitch,
                  panel.chbRTS_FootSwitch,
                  panel.chbDTR_FootSwitch};

    // All three ports use the same backend, so one discovery serves the three lists.
    const QStringList ports = catPort->availablePorts();
    for (QComboBox* names : {panel.cbPortName, panel.cbPortNamePTT, panel.cbPortNameFootSwitch}) {
        names->clear();
        names->addItems(ports);
    }
    // Only the CAT port can be a pseudo-terminal of the plug-in's own: the keying ports read
    // modem lines, which a pseudo-terminal does not have.
    panel.cbPortName->addItem(VirtualPort::itemName());
    catPort->setVirtualLinkName(virtualLinkName());

    connectPanel();
}

void Control::connectPanel()
{
    CHECKED_CONNECT(panel.cbPortName, SIGNAL(currentIndexChanged(int)), this,
                    SLOT(changedItem(int)));
    CHECKED_CONNECT(panel.cbPortNamePTT, SIGNAL(currentIndexChanged(int)), this,
                    SLOT(changedItem(int)));
    CHECKED_CONNECT(panel.chbAntSw, SIGNAL(toggled(bool)), this, SLOT(changedAntSwEnable(bool)));
    CHECKED_CONNECT(panel.chbFR, SIGNAL(toggled(bool)), this, SLOT(changedEnableFR(bool)));
    CHECKED_CONNECT(panel.chbEnable, SIGNAL(toggled(bool)), this, SLOT(openCAT(bool)));
    CHECKED_CONNECT(panel.chbEnablePtt, SIGNAL(toggled(bool)), this, SLOT(openPTT(bool)));
    CHECKED_CONNECT(panel.chbEnableFootswitch, SIGNAL(toggled(bool)), this, SLOT(openFootSw(bool)));
    CHECKED_CONNECT(panel.chbTcpEnable, SIGNAL(toggled(bool)), this, SLOT(openTcp(bool)));
    followLogView(panel.chbLog->isChecked());
    CHECKED_CONNECT(panel.chbLog, &QCheckBox::toggled, this,
                    [this](bool shown) { followLogView(shown); });

    // The worker keys from the CAT port's lines without touching widgets: it reads copies of
    // the two line choices, kept current here. Connected after the form's own connections, so
    // the enable box's toggle has set the line boxes' state before it is corrected here.
    followCatPortChoice();
    for (QComboBox* box : {panel.cbPortName, panel.cbPttLine, panel.cbKeyLine})
        CHECKED_CONNECT(box, &QComboBox::currentIndexChanged, this,
                        [this] { followCatPortChoice(); });
    CHECKED_CONNECT(panel.chbEnable, &QCheckBox::toggled, this, [this] { followCatPortChoice(); });
}

void Control::followCatPortChoice()
{
    const bool isVirtual = VirtualPort::isItem(panel.cbPortName->currentText());
    const QString path = isVirtual ? VirtualPort::linkPath(virtualLinkName()) : QString();
    panel.lbVirtualPath->setText(path);
    panel.lbVirtualPath->setVisible(isVirtual);
    panel.cbPortName->setToolTip(path);
    selectCatLines(isVirtual ? 0 : panel.cbPttLine->currentIndex(),
                   isVirtual ? 0 : panel.cbKeyLine->currentIndex());
    if (isVirtual) {
        panel.cbPttLine->setEnabled(false);
        panel.cbKeyLine->setEnabled(false);
    } else if (!panel.chbEnable->isChecked()) {
        panel.cbPttLine->setEnabled(true);
        panel.cbKeyLine->setEnabled(true);
    }
}

QString Control::virtualLinkName() const
{
    return QStringLiteral("RX%1").arg(cache.transceiver + 1);
}

void Control::announceVirtualPort()
{
    if (!VirtualPort::isItem(panel.cbPortName->currentText()))
        return;
    const QString path = VirtualPort::linkPath(virtualLinkName());
    panel.lbVirtualPath->setText(path);
    panel.tbLog->append((tr("Virtual port: ") + path).toHtmlEscaped());
}

void Control::notice(const QString& text)
{
    postLog(LogFeed::Kind::Notice, text);
}

void Control::appendNotice(const QString& text)
{
    // Escaped text is markup: without a tag the view takes it for plain text and shows "&quot;".
    if (options)
        panel.tbLog->append(QLatin1String("<span>") + text.toHtmlEscaped() +
                            QLatin1String("</span>"));
}

void Control::postLog(LogFeed::Kind kind, const QString& text)
{
    if (logFeed.push(kind, text))
        QMetaObject::invokeMethod(
            this, [this] { showLogBatch(); }, Qt::QueuedConnection);
}

void Control::showLogBatch()
{
    const qint64 since = lastLogUpdate.isValid() ? lastLogUpdate.elapsed() : logUpdateMs;
    if (since < logUpdateMs) {
        if (!logUpdateTimer.isActive())
            logUpdateTimer.start(int(logUpdateMs - since), Qt::PreciseTimer, this);
        return;
    }
    logUpdateTimer.stop();
    lastLogUpdate.start();
    const LogFeed::Batch batch = logFeed.take();
    if (!options)
        return;
    // One edit of the document for the whole batch: it is laid out once.
    QTextCursor edit(panel.tbLog->document());
    edit.beginEditBlock();
    if (batch.dropped > 0 && panel.chbLog->isChecked())
        appendNotice(
            tr("\u2026 %1 lines not shown").arg(QLocale(QLocale::English).toString(batch.dropped)));
    for (const LogFeed::Line& line : batch.lines) {
        if (line.kind == LogFeed::Kind::Notice)
            appendNotice(line.text);
        else
            appendLog(line.text, line.kind == LogFeed::Kind::Sent);
    }
    edit.endEditBlock();
}

void Control::refuseOpen(QCheckBox* box, const char* slot, const QString& what,
                         const QString& reason)
{
    QObject::disconnect(box, SIGNAL(toggled(bool)), this, slot);
    box->setChecked(false);
    CHECKED_CONNECT(box, SIGNAL(toggled(bool)), this, slot);

    auto* message = new QMessageBox;
    message->setText(tr("Can't open ") + what + QLatin1Char('\n') + reason);
    // A message box sizes itself to its text and ignores a minimum width; a spacer across its
    // grid makes the width stick.
    message->setMinimumWidth(messageBoxMinimumWidth);
    if (auto* grid = qobject_cast<QGridLayout*>(message->layout()))
        grid->addItem(
            new QSpacerItem(messageBoxMinimumWidth, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
            grid->rowCount(), 0, 1, grid->columnCount());
    message->exec();
    message->deleteLater();
}

void Control::changedItem(int) {}

QString Control::openPortName(const QCheckBox* enableBox)
{
    if (enableBox == panel.chbEnable)
        return running ? catPort->portName() : QString();
    for (const KeyingPort* keying : {&ptt, &footSwitch})
        if (enableBox == keying->enableBox)
            return keying->open ? keying->port->portName() : QString();
    return QString();
}

void Control::setManager(DeviceManagerAbstract* deviceManager)
{
    if (manager)
        QObject::disconnect(manager, SIGNAL(catEnableChanged(quint32, bool)), this,
                            SLOT(setOpenCatFromManager(quint32, bool)));
    manager = deviceManager;
    if (manager)
        CHECKED_CONNECT(manager, SIGNAL(catEnableChanged(quint32, bool)), this,
                        SLOT(setOpenCatFromManager(quint32, bool)));
}

void Control::setOpenCatFromManager(quint32 tranceiver, bool state)
{
    // The box does the rest: openCAT runs only if its state changes, and reports back.
    if (options && isMine(tranceiver))
        panel.chbEnable->setChecked(state);
}

void Control::setTxAvailable(bool available)
{
    if (!options)
        return;
    if (!available) {
        panel.chbEnablePtt->setChecked(false);
        panel.chbEnableFootswitch->setChecked(false);
        panel.cbPttLine->setCurrentIndex(0);
        panel.cbKeyLine->setCurrentIndex(0);
    }
    for (const char* name : transmitControls)
        if (QWidget* control = options->findChild<QWidget*>(QLatin1String(name)))
            control->setVisible(available);
}

void Control::followLogView(bool shown)
{
    // Lines already in the feed when the view goes away are still taken; appendLog drops them.
    const auto direct = Qt::ConnectionType(Qt::DirectConnection | Qt::UniqueConnection);
    if (shown) {
        CHECKED_CONNECT(this, SIGNAL(logMessage(QString, bool)), this,
                        SLOT(feedLogView(QString, bool)), direct);
        CHECKED_CONNECT(this, SIGNAL(logEvent(QString)), this, SLOT(feedEvent(QString)), direct);
    } else {
        disconnect(this, SIGNAL(logMessage(QString, bool)), this, SLOT(feedLogView(QString, bool)));
        disconnect(this, SIGNAL(logEvent(QString)), this, SLOT(feedEvent(QString)));
    }
}

void Control::feedLogView(QString text, bool trx)
{
    postLog(trx ? LogFeed::Kind::Sent : LogFeed::Kind::Received, text);
}

void Control::feedEvent(QString text)
{
    postLog(LogFeed::Kind::Notice, text);
}

bool Control::isLogWatched() const
{
    return isSignalConnected(QMetaMethod::fromSignal(&Control::logMessage));
}

void Control::appendLog(QString text, bool trx)
{
    // Lines arrive queued from the worker; they may outlive a panel already taken down.
    if (!options || !panel.chbLog->isChecked())
        return;
    const QLatin1String colour = trx ? QLatin1String("blue") : QLatin1String("green");
    panel.tbLog->append(QLatin1String("<FONT color=") + colour + QLatin1String(" >") +
                        text.toHtmlEscaped() + QLatin1String("</FONT>"));
}
