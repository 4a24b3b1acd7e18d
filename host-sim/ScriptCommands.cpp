#include "ScriptCommands.h"

#include "CheckedConnect.h"
#include "HostOutput.h"
#include "HostSession.h"
#include "HostWindow.h"
#include "PluginPanel.h"

#include <QCheckBox>

#include <chrono>

#include <cerrno>
#include <cmath>
#include <unistd.h>

namespace
{

// A switch argument: exactly "0" or "1".
bool isSwitch(const QString& text)
{
    return text == QLatin1String("0") || text == QLatin1String("1");
}

} // namespace

ScriptCommands::ScriptCommands(HostSession* session, int fd, QObject* parent)
    : QObject(parent), session(session), fd(fd)
{
    notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    CHECKED_CONNECT(notifier.get(), &QSocketNotifier::activated, this, &ScriptCommands::onReadable);
}

void ScriptCommands::onReadable()
{
    char buffer[512];
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (count <= 0) {
        notifier->setEnabled(false);
        return;
    }
    pending.append(buffer, count);
    qsizetype end;
    while ((end = pending.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(pending.left(end)).trimmed();
        pending.remove(0, end + 1);
        if (line.isEmpty())
            continue;
        const bool ok = execute(line.split(QLatin1Char(' '), Qt::SkipEmptyParts));
        printHostLine((ok ? QStringLiteral("ok ") : QStringLiteral("error ")) + line);
    }
}

bool ScriptCommands::execute(const QStringList& words)
{
    struct Verb {
        const char* name;
        qsizetype words;
        bool (ScriptCommands::*run)(const QStringList&);
    };
    static constexpr Verb verbs[] = {
        {"smeter", 3, &ScriptCommands::smeter},
        {"swr", 3, &ScriptCommands::swr},
        {"vfo", 3, &ScriptCommands::vfo},
        {"mode", 3, &ScriptCommands::mode},
        {"cat", 3, &ScriptCommands::cat},
        {"running", 2, &ScriptCommands::running},
        {"logview", 3, &ScriptCommands::logview},
        {"log", 2, &ScriptCommands::log},
        {"screenshot", 2, &ScriptCommands::screenshot},
        {"quit", 1, &ScriptCommands::quit},
    };
    for (const Verb& verb : verbs) {
        if (words.constFirst() == QLatin1String(verb.name))
            return words.size() == verb.words && (this->*verb.run)(words);
    }
    return false;
}

bool ScriptCommands::smeter(const QStringList& words)
{
    SimulatedRadio* radio = radioAt(words.at(1));
    bool ok = false;
    const double dbm = words.at(2).toDouble(&ok);
    if (!radio || !ok)
        return false;
    radio->setSmeterDbm(dbm);
    return true;
}

bool ScriptCommands::swr(const QStringList& words)
{
    SimulatedRadio* radio = radioAt(words.at(1));
    bool ok = false;
    const double ratio = words.at(2).toDouble(&ok);
    if (!radio || !radio->canTransmit() || !ok || !std::isfinite(ratio) || ratio < 1.0)
        return false;
    radio->setSwr(ratio);
    return true;
}

bool ScriptCommands::vfo(const QStringList& words)
{
    SimulatedRadio* radio = radioAt(words.at(1));
    bool ok = false;
    const double hz = words.at(2).toDouble(&ok);
    if (!radio || !ok || !std::isfinite(hz) || hz <= 0 || hz > SimulatedRadio::highestFrequency)
        return false;
    // The moment the host reports the new frequency, on the clock key edges are stamped with:
    // what a client told of the change is timed from here.
    const qint64 at = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count();
    radio->tune(hz);
    printHostLine(QStringLiteral("tuned RX%1 %2 at %3")
                      .arg(radio->index() + 1)
                      .arg(qint64(hz))
                      .arg(at));
    return true;
}

bool ScriptCommands::mode(const QStringList& words)
{
    SimulatedRadio* radio = radioAt(words.at(1));
    bool ok = false;
    const quint32 mode = words.at(2).toUInt(&ok);
    if (!radio || !ok || mode > SimulatedRadio::lastMode)
        return false;
    radio->selectMode(mode);
    return true;
}

bool ScriptCommands::cat(const QStringList& words)
{
    SimulatedRadio* radio = radioAt(words.at(1));
    if (!radio || !isSwitch(words.at(2)))
        return false;
    session->deviceManager()->requestCat(radio->index(), words.at(2) == QLatin1String("1"));
    return true;
}

bool ScriptCommands::running(const QStringList& words)
{
    if (!isSwitch(words.at(1)))
        return false;
    session->hostControls()->setRunning(words.at(1) == QLatin1String("1"));
    return true;
}

bool ScriptCommands::logview(const QStringList& words)
{
    bool ok = false;
    const quint32 channel = words.at(1).toUInt(&ok);
    QCheckBox* box = ok ? viewLogBox(session->optionsLayout(), channel) : nullptr;
    if (!box || !isSwitch(words.at(2)))
        return false;
    box->setChecked(words.at(2) == QLatin1String("1"));
    return true;
}

bool ScriptCommands::log(const QStringList& words)
{
    bool ok = false;
    const quint32 channel = words.at(1).toUInt(&ok);
    if (!ok || !viewLogBox(session->optionsLayout(), channel))
        return false;
    for (const QString& line : logViewLines(session->optionsLayout(), channel))
        printHostLine(QStringLiteral("log ") + line);
    return true;
}

bool ScriptCommands::screenshot(const QStringList& words)
{
    return window && window->saveScreenshot(words.at(1));
}

bool ScriptCommands::quit(const QStringList&)
{
    emit quitRequested();
    return true;
}

SimulatedRadio* ScriptCommands::radioAt(const QString& word) const
{
    bool ok = false;
    const quint32 channel = word.toUInt(&ok);
    return ok ? session->radio(channel) : nullptr;
}
