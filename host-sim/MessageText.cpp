#include "MessageText.h"

#include <QStringList>

#include <array>

namespace
{

// The encoder names by command ID, taken from the command bus's own table so the two never
// disagree. The table leaves out the rows the bus codes by hand: 0 and 1 (several encoders
// each), 107 (its flag travels as a number) and 183 (the bus keeps the key object); 53 is
// unassigned.
constexpr int commandCount = 187;

constexpr std::array<const char*, commandCount> makeNames()
{
    std::array<const char*, commandCount> names{};
    for (auto& name : names)
        name = "?";
    names[0] = "open";
    names[1] = "start";
    names[107] = "setSensorFan";
    names[183] = "setCWKeyObject";
#define QC_ROW(id, encoder, signal, types) names[id] = #encoder;
#define QC_ROW0(id, encoder, signal) names[id] = #encoder;
#define QC_BRIDGE(id, encoder, types, signal, signalTypes) names[id] = #encoder;
#include "quorvexCommandTable.inc"
#undef QC_ROW
#undef QC_ROW0
#undef QC_BRIDGE
    return names;
}

constexpr auto names = makeNames();

QString elementText(const QVariant& element)
{
    switch (element.typeId()) {
    case QMetaType::Bool:
        return element.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Double:
        return QString::number(element.toDouble(), 'g', 17);
    case QMetaType::ULongLong:
        return QStringLiteral("0x") + QString::number(element.toULongLong(), 16);
    case QMetaType::QVariantList: {
        QStringList entries;
        for (const QVariant& entry : element.toList())
            entries << elementText(entry);
        return QLatin1Char('[') + entries.join(QLatin1Char(',')) + QLatin1Char(']');
    }
    default:
        return element.toString();
    }
}

} // namespace

QString commandName(int id)
{
    if (id < 0 || id >= commandCount)
        return QStringLiteral("?");
    return QString::fromLatin1(names[size_t(id)]);
}

QString describeMessage(const QVariant& message)
{
    const QVariantList list = message.toList();
    if (message.typeId() != QMetaType::QVariantList || list.isEmpty())
        return QStringLiteral("cmd ? ") + message.toString();
    const int id = list.constFirst().toInt();
    QStringList words{QStringLiteral("cmd"), QString::number(id), commandName(id)};
    for (qsizetype i = 1; i < list.size(); ++i)
        words << elementText(list.at(i));
    return words.join(QLatin1Char(' '));
}
