#pragma once
// Sets an environment variable (or unsets it) for the lifetime of the object; the old value
// comes back afterwards. RuntimeDirectory does it for XDG_RUNTIME_DIR, where a virtual port
// publishes its link.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class EnvironmentVariable
{
public:
    // An empty `value` unsets the variable.
    EnvironmentVariable(const char* name, const QString& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        value.isEmpty() ? qunsetenv(m_name) : qputenv(m_name, value.toLocal8Bit());
    }
    ~EnvironmentVariable() { m_had ? qputenv(m_name, m_old) : qunsetenv(m_name); }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

class RuntimeDirectory : public EnvironmentVariable
{
public:
    explicit RuntimeDirectory(const QString& path) : EnvironmentVariable("XDG_RUNTIME_DIR", path) {}
};
