#pragma once
// The options panel of one transceiver channel: CAT port and its serial parameters, the
// keying lines, the command options, the PTT and footswitch ports and the traffic log view.
// The channel controller fills the port lists and drives the panel by finding its children by
// object name; the form itself offers nothing but its widgets. Lives in the GUI thread only.

#include "ui_Options.h"

#include <QWidget>

class Options : public QWidget
{
    Q_OBJECT

public:
    explicit Options(QWidget* parent = nullptr);

private:
    Ui::Options ui;
};
