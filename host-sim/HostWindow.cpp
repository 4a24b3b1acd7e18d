#include "HostWindow.h"

#include "CatAbstract.h"
#include "CheckedConnect.h"
#include "HostSession.h"
#include "LogPane.h"
#include "RadioPanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace
{
constexpr int messageLines = 500;
// Width beyond the plug-in panel's own, for its log view: a whole answer on one line.
constexpr int logViewWidth = 520;
const QSize smallestScreenshot(1200, 760);
} // namespace

HostWindow::HostWindow(QWidget* parent)
    : QWidget(parent), options(new QVBoxLayout), hostColumn(new QVBoxLayout)
{
    setWindowTitle(tr("Host simulator"));
    auto* optionsBox = new QGroupBox(tr("CAT plug-in options"));
    optionsBox->setLayout(options);
    auto* columns = new QHBoxLayout(this);
    // The host's side keeps the width its controls need; the rest goes to the plug-in's panel,
    // whose log view takes the spare width.
    columns->addWidget(optionsBox, 1);
    columns->addLayout(hostColumn, 0);
}

void HostWindow::attach(HostSession* started)
{
    session = started;
    setWindowTitle(tr("Host simulator: %1").arg(session->plugin()->name()));

    auto* hostRow = new QHBoxLayout;
    running = new QCheckBox(tr("Host running"));
    hostState = new QLabel;
    hostRow->addWidget(running);
    hostRow->addWidget(hostState, 1);
    hostColumn->addLayout(hostRow);
    CHECKED_CONNECT(running, &QCheckBox::toggled, session->hostControls(),
                    &HostControls::setRunning);
    CHECKED_CONNECT(session->hostControls(), &HostControls::changed, this,
                    &HostWindow::refreshHost);

    auto* radios = new QWidget;
    auto* radioColumn = new QVBoxLayout(radios);
    for (const auto& radio : session->radios()) {
        auto* panel = new RadioPanel(radio.get(), session->deviceManager());
        radioColumn->addWidget(panel);
        // Host-wide events show in every radio's log: they concern all of them.
        CHECKED_CONNECT(session->hostControls(), &HostControls::logLine, panel,
                        &RadioPanel::appendLog);
    }
    radioColumn->addStretch(1);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setWidget(radios);
    // Every control of every radio fits across: only the height scrolls.
    scroll->setMinimumWidth(radios->sizeHint().width() +
                            scroll->verticalScrollBar()->sizeHint().width() +
                            2 * scroll->frameWidth());
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    hostColumn->addWidget(scroll, 3);

    auto* messageBox = new QGroupBox(tr("Messages from the plug-in"));
    auto* messageLayout = new QVBoxLayout(messageBox);
    messages = new LogPane(messageLines);
    messageLayout->addWidget(messages);
    hostColumn->addWidget(messageBox, 1);
    CHECKED_CONNECT(session, &HostSession::messageReceived, messages, &LogPane::appendLine);
    refreshHost();
    resize(defaultSize());
}

QSize HostWindow::defaultSize() const
{
    return sizeHint() + QSize(logViewWidth, 0);
}

void HostWindow::refreshHost()
{
    const HostControls* controls = session->hostControls();
    {
        const QSignalBlocker quiet(running);
        running->setChecked(controls->running());
    }
    hostState->setText(tr("keyer %1 WPM, break-in %2, RX antenna %3, TX antenna %4")
                           .arg(controls->cwSpeed())
                           .arg(controls->breakInDelay())
                           .arg(controls->rxAntenna() + 1)
                           .arg(controls->txAntenna() + 1));
}

bool HostWindow::saveScreenshot(const QString& path)
{
    resize(defaultSize().expandedTo(smallestScreenshot));
    show();
    QApplication::processEvents();
    return grab().save(path, "PNG");
}
