#include "AddressList.h"

#include <QRegularExpression>

namespace
{

constexpr int ipv4Bits = 32;
constexpr int ipv6Bits = 128;
// 127.0.0.0/8: every address of it is this machine.
constexpr int ipv4LoopbackPrefix = 8;

} // namespace

QHostAddress plainAddress(const QHostAddress& address)
{
    if (address.protocol() != QAbstractSocket::IPv6Protocol)
        return address;
    // QHostAddress takes "::" and "::1" for IPv4 too; only the mapped form is one.
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    for (int i = 0; i < 10; ++i)
        if (bytes[i] != 0)
            return address;
    if (bytes[10] != 0xff || bytes[11] != 0xff)
        return address;
    return QHostAddress(quint32(bytes[12]) << 24 | quint32(bytes[13]) << 16 |
                        quint32(bytes[14]) << 8 | quint32(bytes[15]));
}

QString AddressList::defaultText()
{
    return QStringLiteral("127.0.0.1, ::1");
}

std::optional<AddressList> AddressList::parse(const QString& text, QString* error)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    AddressList list;
    for (const QString& entry : text.split(separators, Qt::SkipEmptyParts)) {
        QPair<QHostAddress, int> range;
        if (entry.contains(QLatin1Char('/'))) {
            range = QHostAddress::parseSubnet(entry);
        } else {
            const QHostAddress address(entry);
            const bool isIpv4 = address.protocol() == QAbstractSocket::IPv4Protocol;
            range = {address, isIpv4 ? ipv4Bits : ipv6Bits};
        }
        if (range.first.isNull() || range.second < 0) {
            if (error)
                *error = QStringLiteral("Not an address or range: \"%1\"").arg(entry);
            return std::nullopt;
        }
        range.first = plainAddress(range.first);
        list.m_ranges.append(range);
    }
    return list;
}

bool AddressList::contains(const QHostAddress& address) const
{
    const QHostAddress peer = plainAddress(address);
    for (const auto& range : m_ranges)
        if (peer.isInSubnet(range))
            return true;
    return false;
}

bool AddressList::isLoopbackOnly() const
{
    for (const auto& [network, prefix] : m_ranges) {
        const bool isIpv4 = network.protocol() == QAbstractSocket::IPv4Protocol;
        if (!network.isLoopback() || prefix < (isIpv4 ? ipv4LoopbackPrefix : ipv6Bits))
            return false;
    }
    return true;
}
