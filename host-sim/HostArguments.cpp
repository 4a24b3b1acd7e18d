#include "HostArguments.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace
{

constexpr quint32 maxChannels = 16;

std::optional<quint32> parseCount(const QString& text, quint32 limit)
{
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value > limit)
        return std::nullopt;
    return value;
}

// Qt names the program in the usage line after the application object, which does not exist
// yet while the command line is read (Qt then writes a placeholder); the first word of the
// command line names it instead.
QString helpText(const QCommandLineParser& parser, const QStringList& argv)
{
    const QString qtName = QCoreApplication::instance() ? QCoreApplication::arguments().value(0)
                                                        : QStringLiteral("<executable_name>");
    const QString qtUsage = QStringLiteral("Usage: ") + qtName;
    const QString name = QFileInfo(argv.value(0)).fileName();
    QString text = parser.helpText();
    if (text.startsWith(qtUsage))
        text.replace(0, qtUsage.size(),
                     QStringLiteral("Usage: ") +
                         (name.isEmpty() ? QStringLiteral("host-sim") : name));
    return text;
}

ParsedArguments failure(const QString& message, int exitCode)
{
    ParsedArguments result;
    result.message = message;
    result.exitCode = exitCode;
    return result;
}

// The plug-in built beside the executable; failing that, the one installed with it.
QString defaultPluginPath()
{
    const QDir programDir(QCoreApplication::applicationDirPath());
    const QString fileName = QStringLiteral("libKenwoodTS480.so");
    const QString built = programDir.filePath(fileName);
    const QString installed =
        QDir::cleanPath(programDir.filePath(QStringLiteral(INSTALLED_PLUGIN_DIR "/") + fileName));
    return QFileInfo::exists(built) || !QFileInfo::exists(installed) ? built : installed;
}

} // namespace

ParsedArguments parseHostArguments(const QStringList& argv)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Host simulator: loads the CAT plug-in and plays the host's part."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption plugin(
        QStringLiteral("plugin"),
        QStringLiteral("Plug-in file (default: built beside host-sim, else the installed one)."),
        QStringLiteral("path"));
    const QCommandLineOption channels(QStringLiteral("channels"),
                                      QStringLiteral("Transceivers (default 2)."),
                                      QStringLiteral("n"), QStringLiteral("2"));
    const QCommandLineOption txChannels(QStringLiteral("tx-channels"),
                                        QStringLiteral("Transmitters (default 1)."),
                                        QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption settings(
        QStringLiteral("settings"),
        QStringLiteral("Settings INI file (default: host-sim.ini in the config folder)."),
        QStringLiteral("file"));
    const QCommandLineOption headless(QStringLiteral("headless"),
                                      QStringLiteral("No window; print one line per event."));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Render the window to a PNG and exit."),
                                        QStringLiteral("file"));
    const QCommandLineOption smeter(QStringLiteral("smeter"),
                                    QStringLiteral("Initial S-meter level in dBm (default -100)."),
                                    QStringLiteral("dBm"), QStringLiteral("-100"));
    parser.addOptions({help, plugin, channels, txChannels, settings, headless, screenshot, smeter});

    if (!parser.parse(argv))
        return failure(parser.errorText() + QLatin1Char('\n') + helpText(parser, argv), 2);
    if (parser.isSet(help))
        return failure(helpText(parser, argv), 0);
    if (!parser.positionalArguments().isEmpty())
        return failure(
            QStringLiteral("unexpected argument: ") + parser.positionalArguments().constFirst(), 2);

    HostArguments result;
    const auto channelCount = parseCount(parser.value(channels), maxChannels);
    if (!channelCount)
        return failure(QStringLiteral("--channels takes a number from 0 to %1").arg(maxChannels),
                       2);
    const auto txCount = parseCount(parser.value(txChannels), maxChannels);
    if (!txCount)
        return failure(QStringLiteral("--tx-channels takes a number from 0 to %1").arg(maxChannels),
                       2);
    bool smeterOk = false;
    result.smeterDbm = parser.value(smeter).toDouble(&smeterOk);
    if (!smeterOk)
        return failure(QStringLiteral("--smeter takes a level in dBm, e.g. -73"), 2);

    result.channels = *channelCount;
    result.txChannels = *txCount;
    result.pluginPath = parser.value(plugin);
    result.settingsPath = parser.value(settings);
    result.headless = parser.isSet(headless);
    result.screenshotPath = parser.value(screenshot);

    ParsedArguments parsed;
    parsed.arguments = result;
    return parsed;
}

void resolveDefaults(HostArguments& arguments)
{
    if (arguments.pluginPath.isEmpty())
        arguments.pluginPath = defaultPluginPath();
    // A relative name would send the plug-in loader searching its library paths.
    arguments.pluginPath = QFileInfo(arguments.pluginPath).absoluteFilePath();
    if (arguments.settingsPath.isEmpty())
        arguments.settingsPath =
            QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
                .filePath(QStringLiteral("host-sim.ini"));
}
