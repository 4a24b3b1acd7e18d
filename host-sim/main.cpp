// host-sim: a small, real host for the CAT plug-in. See HostSession for the working order,
// HostArguments for the command line, ScriptCommands for what a headless run reads on stdin.

#include "CheckedConnect.h"
#include "HostArguments.h"
#include "HostSession.h"
#include "HostWindow.h"
#include "ModalDialogCloser.h"
#include "QuitOnSignal.h"
#include "ScriptCommands.h"

#include <QApplication>
#include <QVBoxLayout>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace
{

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

int saveScreenshot(HostWindow& window, const QString& path)
{
    if (!window.saveScreenshot(path)) {
        std::fprintf(stderr, "host-sim: cannot write %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList words;
    for (int i = 0; i < argc; ++i)
        words << QString::fromLocal8Bit(argv[i]);
    const ParsedArguments parsed = parseHostArguments(words);
    if (!parsed.arguments) {
        std::fprintf(parsed.exitCode == 0 ? stdout : stderr, "%s\n", qPrintable(parsed.message));
        return parsed.exitCode;
    }
    HostArguments arguments = *parsed.arguments;
    // No window to show: render offscreen (a screenshot needs no display either).
    if (arguments.headless || (!arguments.screenshotPath.isEmpty() && !hasDisplay()))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    // Qt reads options of its own from the command line, "-plugin" among them; ours are
    // parsed already, so Qt sees only the program name.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("host-sim"));
    resolveDefaults(arguments);

    QuitOnSignal quitOnSignal;
    CHECKED_CONNECT(&quitOnSignal, &QuitOnSignal::quitRequested, &app, &QApplication::quit);

    HostWindow window;
    HostSession session(arguments);
    std::unique_ptr<ModalDialogCloser> dialogCloser;
    if (arguments.headless)
        dialogCloser = std::make_unique<ModalDialogCloser>();
    if (!session.start(window.optionsLayout())) {
        std::fprintf(stderr, "host-sim: %s\n", qPrintable(session.errorString()));
        return 1;
    }
    window.attach(&session);

    if (!arguments.screenshotPath.isEmpty()) {
        const int result = saveScreenshot(window, arguments.screenshotPath);
        session.shutdown();
        return result;
    }

    // Script lines come from a pipe or, headless, from the terminal; a windowed host started
    // from a terminal leaves the terminal alone.
    std::unique_ptr<ScriptCommands> script;
    if (arguments.headless || !isatty(STDIN_FILENO)) {
        script = std::make_unique<ScriptCommands>(&session, STDIN_FILENO);
        script->setWindow(&window);
        CHECKED_CONNECT(script.get(), &ScriptCommands::quitRequested, &app, &QApplication::quit);
    }
    if (!arguments.headless)
        window.show();
    const int result = QApplication::exec();
    session.shutdown();
    return result;
}
