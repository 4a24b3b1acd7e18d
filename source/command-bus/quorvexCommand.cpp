#include "quorvexCommand.h"

#include <QMetaObject>
#include <QMetaType>
#include <QThread>

#include <cstddef>
#include <type_traits>
#include <utility>

namespace
{

template <typename> constexpr bool isQList = false;
template <typename E> constexpr bool isQList<QList<E>> = true;

// A pointer travels as a 64-bit number; a 32-bit address is sign-extended first.
qulonglong toAddress(const void* p)
{
    return qulonglong(qlonglong(reinterpret_cast<qintptr>(p)));
}

// The element that carries one argument (the message type rule).
template <typename T> QVariant toElement(const T& value)
{
    if constexpr (std::is_same_v<T, quint32> || std::is_same_v<T, int> || std::is_same_v<T, bool> ||
                  std::is_same_v<T, double> || std::is_same_v<T, quint64>) {
        return QVariant::fromValue(value);
    } else if constexpr (std::is_pointer_v<T>) {
        return QVariant::fromValue(toAddress(value));
    } else if constexpr (isQList<T>) {
        QVariantList entries;
        entries.reserve(value.size());
        for (const auto& entry : value)
            entries.append(toElement(entry));
        return entries;
    } else {
        static_assert(sizeof(T) == 0, "no element rule for this parameter type");
    }
}

// The argument that one element gives (the decoder's conversions). Values that do
// not convert give 0, false or 0.0; the 32-bit pattern of an int or uint survives either way.
template <typename T> T fromElement(const QVariant& element)
{
    if constexpr (std::is_same_v<T, quint32>) {
        return element.toUInt();
    } else if constexpr (std::is_same_v<T, int>) {
        return element.toInt();
    } else if constexpr (std::is_same_v<T, bool>) {
        return element.toBool();
    } else if constexpr (std::is_same_v<T, double>) {
        return element.toDouble();
    } else if constexpr (std::is_same_v<T, quint64>) {
        return element.toULongLong();
    } else if constexpr (std::is_pointer_v<T>) {
        return reinterpret_cast<T>(quintptr(element.toLongLong()));
    } else if constexpr (isQList<T>) {
        T values;
        const QVariantList entries = element.toList();
        values.reserve(entries.size());
        for (const QVariant& entry : entries)
            values.append(fromElement<typename T::value_type>(entry));
        return values;
    } else {
        static_assert(sizeof(T) == 0, "no element rule for this parameter type");
    }
}

// Builds [id, elements...] and emits it.
template <typename... Args> void encode(quorvexCommand* bus, int id, const Args&... args)
{
    emit bus->sCommand(QVariantList{QVariant(id), toElement(args)...});
    bus->countQueued();
}

template <typename... Params> using Signal = void (quorvexCommand::*)(Params...);

template <typename... Params, std::size_t... I>
void emitConverted(quorvexCommand* bus, Signal<Params...> signal, const QVariantList& message,
                   std::index_sequence<I...>)
{
    (bus->*signal)(fromElement<std::decay_t<Params>>(message.at(qsizetype(I) + 1))...);
}

// Emits `signal` with elements 1..n of the message converted to its parameter types. A message
// shorter than the row is dropped; elements beyond the row are ignored. Returns whether it
// emitted.
template <typename... Params>
bool emitRow(quorvexCommand* bus, Signal<Params...> signal, const QVariantList& message)
{
    if (message.size() <= qsizetype(sizeof...(Params)))
        return false;
    emitConverted(bus, signal, message, std::index_sequence_for<Params...>{});
    return true;
}

// Commands 0 and 1: the flag's own signal, then the one for its value.
void emitSwitch(quorvexCommand* bus, Signal<bool> withFlag, Signal<> on, Signal<> off,
                const QVariantList& message)
{
    if (emitRow(bus, withFlag, message))
        (bus->*(fromElement<bool>(message.at(1)) ? on : off))();
}

} // namespace

quorvexCommand::quorvexCommand(QObject* parent) : QObject(parent)
{
    // Types that typed signals carry across threads by queued delivery.
    qRegisterMetaType<QList<void*>>("QList<void*>");
    qRegisterMetaType<QList<int>>("QList<int>");
    qRegisterMetaType<CwKeyControlAbstract*>("CwKeyControlAbstract*");
}

// ---- Encoders ----

// Named parameters a1..a10 for a parenthesised list of types, and the matching argument list.
#define QC_CAT_(a, b) a##b
#define QC_CAT(a, b) QC_CAT_(a, b)
#define QC_COUNT_(_1, _2, _3, _4, _5, _6, _7, _8, _9, _10, n, ...) n
#define QC_COUNT(...) QC_COUNT_(__VA_ARGS__, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, )
#define QC_P1(t1) t1 a1
#define QC_P2(t1, t2) QC_P1(t1), t2 a2
#define QC_P3(t1, t2, t3) QC_P2(t1, t2), t3 a3
#define QC_P4(t1, t2, t3, t4) QC_P3(t1, t2, t3), t4 a4
#define QC_P5(t1, t2, t3, t4, t5) QC_P4(t1, t2, t3, t4), t5 a5
#define QC_P6(t1, t2, t3, t4, t5, t6) QC_P5(t1, t2, t3, t4, t5), t6 a6
#define QC_P7(t1, t2, t3, t4, t5, t6, t7) QC_P6(t1, t2, t3, t4, t5, t6), t7 a7
#define QC_P8(t1, t2, t3, t4, t5, t6, t7, t8) QC_P7(t1, t2, t3, t4, t5, t6, t7), t8 a8
#define QC_P9(t1, t2, t3, t4, t5, t6, t7, t8, t9) QC_P8(t1, t2, t3, t4, t5, t6, t7, t8), t9 a9
#define QC_P10(t1, t2, t3, t4, t5, t6, t7, t8, t9, t10)                                            \
    QC_P9(t1, t2, t3, t4, t5, t6, t7, t8, t9), t10 a10
#define QC_A1 a1
#define QC_A2 QC_A1, a2
#define QC_A3 QC_A2, a3
#define QC_A4 QC_A3, a4
#define QC_A5 QC_A4, a5
#define QC_A6 QC_A5, a6
#define QC_A7 QC_A6, a7
#define QC_A8 QC_A7, a8
#define QC_A9 QC_A8, a9
#define QC_A10 QC_A9, a10
#define QC_PARAMS(...) QC_CAT(QC_P, QC_COUNT(__VA_ARGS__))(__VA_ARGS__)
#define QC_ARGS(...) QC_CAT(QC_A, QC_COUNT(__VA_ARGS__))

#define QC_ROW(id, encoder, signal, types)                                                         \
    void quorvexCommand::encoder(QC_PARAMS types)                                                  \
    {                                                                                              \
        encode(this, id, QC_ARGS types);                                                           \
    }
#define QC_ROW0(id, encoder, signal)                                                               \
    void quorvexCommand::encoder()                                                                 \
    {                                                                                              \
        encode(this, id);                                                                          \
    }
#define QC_BRIDGE(id, encoder, types, signal, signalTypes) QC_ROW(id, encoder, signal, types)
#include "quorvexCommandTable.inc"
#undef QC_ROW
#undef QC_ROW0
#undef QC_BRIDGE

// The rows with fixed exceptions.
// clang-format off
void quorvexCommand::open(bool state) { encode(this, 0, state); }
void quorvexCommand::open() { encode(this, 0, true); }
void quorvexCommand::close() { encode(this, 0, false); }
void quorvexCommand::start(bool state) { encode(this, 1, state); }
void quorvexCommand::start() { encode(this, 1, true); }
void quorvexCommand::stop() { encode(this, 1, false); }
void quorvexCommand::setSensorFan(bool state) { encode(this, 107, quint32(state ? 1 : 0)); }
void quorvexCommand::setCWKeyObject(CwKeyControlAbstract* p) { encode(this, 183, p); }
// clang-format on

// ---- Delivery of messages emitted off the bus's thread ----

void quorvexCommand::countQueued()
{
    if (QThread::currentThread() == thread())
        return;
    // Counted after the emit, so a mark that covers this count is queued behind the message.
    m_queued.fetch_add(1);
    if (!m_markPending.exchange(true))
        postDeliveryMark();
}

void quorvexCommand::postDeliveryMark()
{
    const quint64 queued = m_queued.load();
    QMetaObject::invokeMethod(
        this, [this, queued] { markDelivered(queued); }, Qt::QueuedConnection);
}

void quorvexCommand::markDelivered(quint64 queued)
{
    m_delivered.store(queued);
    m_markPending.store(false);
    // Messages counted after this mark was posted need a mark of their own, unless their
    // emitter has just posted one.
    if (m_queued.load() > queued && !m_markPending.exchange(true))
        postDeliveryMark();
}

// ---- Decoder ----

void quorvexCommand::setCommand(QVariant cmd)
{
    if (cmd.typeId() != QMetaType::QVariantList)
        return;
    const QVariantList message = cmd.toList();
    if (message.isEmpty())
        return;

    // Unassigned IDs (53, anything outside 0..186) fall to the default: no signal.
    switch (message.first().toInt()) {
#define QC_ROW(id, encoder, signal, types)                                                         \
    case id:                                                                                       \
        emitRow(this, static_cast<void(quorvexCommand::*) types>(&quorvexCommand::signal),         \
                message);                                                                          \
        return;
#define QC_ROW0(id, encoder, signal) QC_ROW(id, encoder, signal, ())
#define QC_BRIDGE(id, encoder, types, signal, signalTypes) QC_ROW(id, encoder, signal, signalTypes)
#include "quorvexCommandTable.inc"
#undef QC_ROW
#undef QC_ROW0
#undef QC_BRIDGE

    // The rows with fixed exceptions.
    case 0:
        emitSwitch(this, &quorvexCommand::sOpen, &quorvexCommand::sOpen, &quorvexCommand::sClose,
                   message);
        return;
    case 1:
        emitSwitch(this, &quorvexCommand::sStart, &quorvexCommand::sStart, &quorvexCommand::sStop,
                   message);
        return;
    case 107: // a uint on the wire, any value but 0 is true
        emitRow(this, &quorvexCommand::sSensorFan, message);
        return;
    case 183: // emitted first, then kept, also when null
        if (emitRow(this, &quorvexCommand::sCWKeyObject, message))
            m_cwKeyObject.store(fromElement<CwKeyControlAbstract*>(message.at(1)));
        return;
    default:
        return;
    }
}
