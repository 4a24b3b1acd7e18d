#pragma once
// The host simulator's command line: which plug-in to load, how many transceivers and
// transmitters to announce, where the settings live, and how to run (window, headless,
// one screenshot). parseHostArguments() only parses; defaults that need the application
// object (paths) are filled in by resolveDefaults() once it exists.

#include <QString>
#include <QStringList>

#include <optional>

struct HostArguments {
    QString pluginPath;       // empty until resolved: the plug-in beside or installed with it
    quint32 channels = 2;     // transceivers announced with setChannels
    quint32 txChannels = 1;   // transmitters announced with command 184
    QString settingsPath;     // INI file; empty until resolved: under the user's config folder
    bool headless = false;    // offscreen platform, no window shown, one line per event on stdout
    QString screenshotPath;   // render the window to this PNG and exit
    double smeterDbm = -100.; // signal level every simulated receiver starts with
};

struct ParsedArguments {
    std::optional<HostArguments> arguments; // empty when the command line is wrong or --help
    QString message;                        // usage or the error, for the user
    int exitCode = 0;                       // exit status when `arguments` is empty
};

// Parses argv (program name first). Does not need a Qt application object.
ParsedArguments parseHostArguments(const QStringList& argv);

// Fills the path defaults; call after the application object exists.
void resolveDefaults(HostArguments& arguments);
