#pragma once
// The simulator's window: on the left the layout the plug-in puts its option tabs into; on
// the right the host-wide controls (running, keyer, antennas), one RadioPanel per channel
// and the log of every message the plug-in sent. Built in two steps: the options layout
// must exist before the plug-in is loaded, the rest needs the started HostSession.
// GUI thread only.

#include <QWidget>

class HostSession;
class QCheckBox;
class QLabel;
class LogPane;
class QVBoxLayout;

class HostWindow : public QWidget
{
    Q_OBJECT
public:
    explicit HostWindow(QWidget* parent = nullptr);

    QVBoxLayout* optionsLayout() const { return options; }
    // Adds the host-wide row, the radio panels and the message log for a started session, and
    // takes the default size.
    void attach(HostSession* session);
    // Every control of every radio, and the plug-in's panel with room for its log view.
    QSize defaultSize() const;
    // Shows the window at its default size, at least 1200 x 760 (offscreen when there is no
    // display), and renders it to a PNG file; false when the file cannot be written.
    bool saveScreenshot(const QString& path);

private slots:
    void refreshHost();

private:
    QVBoxLayout* options;
    QVBoxLayout* hostColumn;
    HostSession* session = nullptr; // not owned
    QCheckBox* running = nullptr;
    QLabel* hostState = nullptr;
    LogPane* messages = nullptr;
};
