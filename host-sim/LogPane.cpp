#include "LogPane.h"

#include "CheckedConnect.h"

LogPane::LogPane(int maximumLines, QWidget* parent)
    : QPlainTextEdit(parent), maximumLines(maximumLines)
{
    setReadOnly(true);
    setMaximumBlockCount(maximumLines);
    flushTimer.setSingleShot(true);
    flushTimer.setInterval(0);
    CHECKED_CONNECT(&flushTimer, &QTimer::timeout, this, &LogPane::flush);
}

void LogPane::appendLine(const QString& line)
{
    if (pending.size() == maximumLines)
        pending.removeFirst();
    pending.append(line);
    if (!flushTimer.isActive())
        flushTimer.start();
}

void LogPane::flush()
{
    appendPlainText(pending.join(QLatin1Char('\n')));
    pending.clear();
}
