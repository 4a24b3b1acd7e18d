#pragma once
// Headless runs have nobody to click a modal message box away (the plug-in shows one when a
// port cannot be opened), and a modal box would stop the host right there. This watcher
// prints the text of every modal dialog that appears ("dialog <text>", line breaks as " | ")
// and closes it, so the run goes on. GUI thread only.

#include <QObject>
#include <QTimer>

class ModalDialogCloser : public QObject
{
    Q_OBJECT
public:
    explicit ModalDialogCloser(QObject* parent = nullptr);

private slots:
    void closeModalDialog();

private:
    QTimer poll;
};
