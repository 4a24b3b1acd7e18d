#include "LineStatusSource.h"

#include <QMutex>
#include <QMutexLocker>

#include <atomic>
#include <memory>

namespace
{

// The mutex guards only the pointer: the source is called outside it, on a shared copy, so a
// slow source never blocks set() and a replaced source lives until its last call returns.
QMutex sourceLock;
std::shared_ptr<const LineStatusSource::Function> installed;
std::atomic<bool> anyInstalled{false};

} // namespace

void LineStatusSource::set(Function source)
{
    auto next = source ? std::make_shared<const Function>(std::move(source)) : nullptr;
    QMutexLocker locker(&sourceLock);
    installed = std::move(next);
    anyInstalled = bool(installed);
}

std::optional<ulong> LineStatusSource::query(const QString& devicePath)
{
    if (!anyInstalled)
        return std::nullopt;
    std::shared_ptr<const Function> source;
    {
        QMutexLocker locker(&sourceLock);
        source = installed;
    }
    if (!source)
        return std::nullopt;
    return (*source)(devicePath);
}
