#include "Options.h"

Options::Options(QWidget* parent) : QWidget(parent)
{
    ui.setupUi(this);
    // The log view appears only when the user asks for it with "View log".
    ui.tbLog->hide();
}
