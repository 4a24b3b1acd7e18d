#pragma once
// Finds widgets of the plug-in's options panel inside the layout the host gave it, so a
// script can act as the user on them. The plug-in puts one tab per channel, in channel
// order, into a tab widget in that layout; widgets are found by their object names.
// GUI thread only.

#include <QString>
#include <QStringList>

class QCheckBox;
class QLayout;

// Channel `channel`'s "View log" box, or null when the layout holds no such tab.
QCheckBox* viewLogBox(const QLayout* optionsLayout, quint32 channel);
// The lines of channel `channel`'s log view, oldest first; empty when there is no such tab.
QStringList logViewLines(const QLayout* optionsLayout, quint32 channel);
// The path a client opens for channel `channel`'s virtual port while that is the channel's
// CAT port choice; empty otherwise.
QString virtualPortPath(const QLayout* optionsLayout, quint32 channel);
