#pragma once
// A read-only text pane that keeps its last `maximumLines` lines and takes new lines in
// batches: lines that arrive while the event loop is busy (a flood of the plug-in's messages)
// are appended together on its next turn, in one edit, so the window's cost does not grow with
// every line. Lines that would scroll away before they are shown are not kept. GUI thread only.

#include <QPlainTextEdit>
#include <QStringList>
#include <QTimer>

class LogPane : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit LogPane(int maximumLines, QWidget* parent = nullptr);

public slots:
    void appendLine(const QString& line);

private:
    void flush();

    int maximumLines;
    QStringList pending;
    QTimer flushTimer;
};
