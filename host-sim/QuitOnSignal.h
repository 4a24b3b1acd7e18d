#pragma once
// Turns SIGINT and SIGTERM into a normal application quit, so the host saves its settings
// and deletes the plug-in on the way out. The signal handler only writes one byte into a
// pipe (the one thing it may safely do); a QSocketNotifier on the other end emits
// quitRequested in the GUI thread.

#include <QObject>
#include <QSocketNotifier>

#include <memory>

class QuitOnSignal : public QObject
{
    Q_OBJECT
public:
    explicit QuitOnSignal(QObject* parent = nullptr);
    ~QuitOnSignal() override;

signals:
    void quitRequested(int signalNumber);

private slots:
    void onReadable();

private:
    std::unique_ptr<QSocketNotifier> notifier;
};
