// Control's CAT port and its worker: opening and closing the port, and the read loop that
// frames the input and hands each command to the interpreter.
//
// openCAT and stopWorker run in the GUI thread; run() in the worker thread, holding the channel
// mutex from each readAll until the last command of that read has been executed.

#include "Control.h"

#include "CommandFramer.h"
#include "DeviceManagerAbstract.h"
#include "SerialPortControl.h"

#include <QComboBox>
#include <QMutexLocker>

namespace
{

// One turn of the worker: read, execute, look at the lines, then nap this long.
constexpr unsigned long turnMicroseconds = 500;

} // namespace

void Control::openCAT(bool state)
{
    if (!state) {
        stopWorker();
        return;
    }
    if (running)
        return;
    catPort->setPortName(panel.cbPortName->currentText());
    catPort->setParity(panel.cbParity->currentIndex());
    catPort->setDataBits(panel.cbData->currentIndex());
    catPort->setStopBits(panel.cbStopBit->currentIndex());
    catPort->setBaudRate(panel.cbBoudRate->currentIndex());
    catPort->setFlowControl(0);
    if (!catPort->open(QIODevice::ReadWrite)) {
        refuseOpen(panel.chbEnable, SLOT(openCAT(bool)), panel.cbPortName, catPort);
        return;
    }
    announceVirtualPort();
    running = true;
    start(QThread::TimeCriticalPriority);
    if (manager)
        manager->setCatEnable(cache.transceiver, true);
}

void Control::stopWorker()
{
    if (!running)
        return;
    // The worker sees the flag at the top of its next turn; a turn is bounded (the port's
    // writes and flushes have time limits), so waiting is safe and the mutex ends up free.
    running = false;
    wait();
    catPort->close();
    if (manager)
        manager->setCatEnable(cache.transceiver, false);
}

void Control::run()
{
    CommandFramer framer;
    QString parameter;
    parameter.reserve(CommandFramer::maxCommandLength);

    while (running) {
        {
            QMutexLocker lock(&mutex);
            const QByteArray bytes = catPort->readAll();
            catPort->flush();
            executeBatch(framer, bytes, parameter, catPort);
        }
        if (catPort->isCtsChanged())
            setCts(catPort->cts());
        if (catPort->isDsrChanged())
            setDsr(catPort->dsr());
        QThread::usleep(turnMicroseconds);
    }
}

void Control::executeBatch(CommandFramer& framer, const QByteArray& bytes, QString& parameter,
                           SerialPortControl* port)
{
    for (const QByteArrayView piece : framer.splitCommands(bytes)) {
        CommandFramer::parameter(piece, parameter);
        if (isLogWatched()) {
            QString line;
            line.reserve(piece.size() + 1);
            line.append(QLatin1String(piece)).append(QLatin1Char(';'));
            emit logMessage(line, false);
        }
        executeCommand(CommandFramer::commandCode(piece), parameter, port);
    }
}
