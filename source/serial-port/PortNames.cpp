#include "PortNames.h"

#include <algorithm>
#include <limits>

QString PortNames::devicePath(const QString& name)
{
    if (name.startsWith(QLatin1Char('/')))
        return name;
    return QStringLiteral("/dev/") + name;
}

quint64 PortNames::portNumber(const QString& name)
{
    constexpr quint64 largest = std::numeric_limits<quint64>::max();
    quint64 number = 0;
    for (const QChar c : name) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            continue;
        const quint64 digit = quint64(c.unicode() - '0');
        // A name with more digits than fit sorts last instead of wrapping around.
        if (number > (largest - digit) / 10)
            return largest;
        number = number * 10 + digit;
    }
    return number;
}

void PortNames::appendMissing(QStringList& list, const QStringList& more)
{
    for (const QString& name : more) {
        if (!list.contains(name))
            list.append(name);
    }
}

void PortNames::sortByNumber(QStringList& list)
{
    std::stable_sort(list.begin(), list.end(), [](const QString& a, const QString& b) {
        return portNumber(a) < portNumber(b);
    });
}
