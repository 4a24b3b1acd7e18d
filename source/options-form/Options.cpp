#include "Options.h"

Options::Options(QWidget* parent) : QWidget(parent)
{
    ui.setupUi(this);
    // The log view appears only when the user asks for it with "View log". A line is one
    // command or answer: it is never wrapped, a narrow view scrolls sideways instead.
    ui.tbLog->hide();
    ui.tbLog->setLineWrapMode(QTextEdit::NoWrap);
}
