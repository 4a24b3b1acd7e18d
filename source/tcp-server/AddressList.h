#pragma once
// A list of addresses and address ranges, as the user writes it in the panel: entries
// separated by commas or spaces, each an IPv4 or IPv6 address or a range in prefix notation
// ("127.0.0.1, ::1, 192.168.1.0/24"). A channel's TCP server keeps two: who may connect, and
// who may transmit. Plain data: copy it to the thread that uses it.

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

// `address` as an IPv4 address when it is one in IPv6 form (::ffff:a.b.c.d), unchanged
// otherwise.
QHostAddress plainAddress(const QHostAddress& address);

class AddressList
{
public:
    // The lists a channel starts with: this machine only.
    static QString defaultText();

    // The list `text` names, or nothing when an entry is neither an address nor a range;
    // `error` then names the entry.
    static std::optional<AddressList> parse(const QString& text, QString* error);

    // Whether `address` is in one of the entries. An IPv4 address that arrives in IPv6 form
    // (::ffff:a.b.c.d) counts as the IPv4 address.
    bool contains(const QHostAddress& address) const;
    // Whether every entry lies within this machine's loopback addresses (127.0.0.0/8, ::1).
    bool isLoopbackOnly() const;

private:
    QList<QPair<QHostAddress, int>> m_ranges;
};
