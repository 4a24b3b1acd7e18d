// libFuzzer entry points: bytes from an outside program, cut into reads as a serial line might
// deliver them, go through one channel's framing and interpreter; the answers at the client end,
// the host messages, the log view and the cache are checked after every read. A failed check
// aborts, which the fuzzer reports like a crash, with the input that caused it.

#include "CommandRig.h"
#include "ControlTestAccess.h"
#include "FuzzInput.h"
#include "StreamChecks.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace
{

QApplication* application = nullptr;
CommandRig* rig = nullptr;

// The cache setters trace some host updates with qDebug; millions of inputs would drown the
// fuzzer's own report in them. Warnings and worse still get through.
void dropDebugLines(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtDebugMsg)
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

void require(const QString& problem)
{
    if (problem.isEmpty())
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", qPrintable(problem));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // The channel builds its panel, so widgets need a platform; none is shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(dropDebugLines);
    application = new QApplication(*argc, *argv);
    rig = new CommandRig;
    if (!rig->isReady()) {
        std::fprintf(stderr, "fuzz: no pseudo-terminal for the channel's port\n");
        std::exit(1);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const FuzzInput input = FuzzInput::parse(data, size);
    rig->begin(input.logView, input.enableFr, input.antennaSwitch);

    QList<LogLine> allLines;
    QList<QString> commands;
    for (const QByteArray& read : input.reads) {
        rig->feed(read, input.hostConfirms);
        int answers = 0;
        for (const LogLine& line : rig->lines()) {
            if (!line.answer)
                commands.append(line.text);
            else
                answers += int(line.text.count(QLatin1Char(';')));
        }
        require(checks::read(rig->lines(), rig->clientBytes(answers)));
        for (const QVariant& message : rig->messages())
            require(checks::hostMessage(message));
        allLines.append(rig->lines());
    }
    require(checks::framing(input.reads, commands));
    require(checks::keying(commands, rig->keyCalls()));
    require(checks::cache(ControlTestAccess::cache(rig->channel())));
    if (input.logView)
        require(checks::logView(*rig->logDocument(), allLines));
    return 0;
}
