#include "ModalDialogCloser.h"

#include "CheckedConnect.h"
#include "HostOutput.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>

namespace
{
constexpr int pollIntervalMs = 50;
}

ModalDialogCloser::ModalDialogCloser(QObject* parent) : QObject(parent)
{
    CHECKED_CONNECT(&poll, &QTimer::timeout, this, &ModalDialogCloser::closeModalDialog);
    poll.start(pollIntervalMs);
}

void ModalDialogCloser::closeModalDialog()
{
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog)
        return;
    const auto* box = qobject_cast<QMessageBox*>(dialog);
    QString text = box ? box->text() : dialog->windowTitle();
    text.replace(QLatin1Char('\n'), QStringLiteral(" | "));
    printHostLine(QStringLiteral("dialog ") + text);
    dialog->done(QDialog::Rejected);
}
