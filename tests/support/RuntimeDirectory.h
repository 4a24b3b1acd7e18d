#pragma once
// Points XDG_RUNTIME_DIR (where a virtual port publishes its link) at a folder of the test's
// own, or unsets it, for the lifetime of the object; the old value comes back afterwards.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class RuntimeDirectory
{
public:
    // An empty `path` unsets the variable.
    explicit RuntimeDirectory(const QString& path)
        : m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        path.isEmpty() ? qunsetenv(name) : qputenv(name, path.toLocal8Bit());
    }
    ~RuntimeDirectory() { m_had ? qputenv(name, m_old) : qunsetenv(name); }
    RuntimeDirectory(const RuntimeDirectory&) = delete;
    RuntimeDirectory& operator=(const RuntimeDirectory&) = delete;

private:
    static constexpr const char* name = "XDG_RUNTIME_DIR";
    bool m_had;
    QByteArray m_old;
};
