// The Morse the keyer sends: text to elements and gaps through the element generator, and every
// character it can send read back from the timing by the host simulator's decoder, whose table
// is its own, at steady speeds and across a speed change between characters.

#include "MorseCode.h"
#include "MorseDecoder.h"

#include <QtTest>

#include <functional>

namespace
{

// One unit of silence as ".", one unit of key-down as "=": "E T" is "=.......===".
QString schedule(const QByteArray& text, int* skipped)
{
    morse::ElementGenerator generator;
    QString drawn;
    for (const char c : text) {
        const auto start = generator.start(c);
        if (start == morse::ElementGenerator::Start::Skipped)
            ++*skipped;
        morse::Element element;
        while (generator.next(element))
            drawn += QString(element.gapBefore, QLatin1Char('.')) +
                     QString(element.length, QLatin1Char('='));
    }
    return drawn;
}

// Keys `text` into `decoder` as the keyer schedules it: character `i` at the dot `dotOf(i)`,
// the gap before a character at the dot of the one before; each edge off by `jitter`
// nanoseconds, alternately early and late.
QString keyedAndRead(const QByteArray& text, const std::function<qint64(int)>& dotOf, qint64 jitter)
{
    MorseDecoder decoder;
    morse::ElementGenerator generator;
    qint64 lastUp = 0;
    qint64 lastDot = dotOf(0);
    int edges = 0;
    const auto at = [&](qint64 ideal) { return ideal + (edges++ % 2 == 0 ? jitter : -jitter); };
    for (int i = 0; i < text.size(); ++i) {
        if (generator.start(text[i]) != morse::ElementGenerator::Start::Character)
            continue;
        const qint64 dot = dotOf(i);
        morse::Element element;
        bool first = true;
        while (generator.next(element)) {
            const qint64 down = lastUp + element.gapBefore * (first ? lastDot : dot);
            first = false;
            decoder.keyDown(at(down), dotOf(0));
            lastUp = down + element.length * dot;
            decoder.keyUp(at(lastUp));
        }
        lastDot = dot;
    }
    return decoder.finish();
}

constexpr qint64 millisecond = 1000 * 1000;

qint64 dotAt(int wpm)
{
    return 1200 * millisecond / wpm;
}

} // namespace

class tst_morse : public QObject
{
    Q_OBJECT

private slots:
    void elements_data();
    void elements();
    void readBack_data();
    void readBack();
};

void tst_morse::elements_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("drawn");
    QTest::addColumn<int>("skipped");
    QTest::newRow("dot") << QByteArray("E") << "=" << 0;
    QTest::newRow("dash") << QByteArray("T") << "===" << 0;
    QTest::newRow("elements of a character") << QByteArray("A") << "=.===" << 0;
    QTest::newRow("character gap") << QByteArray("ET") << "=...===" << 0;
    QTest::newRow("word gap") << QByteArray("E T") << "=.......===" << 0;
    QTest::newRow("a run of spaces is one gap") << QByteArray("E    T") << "=.......===" << 0;
    QTest::newRow("lower case") << QByteArray("e t") << "=.......===" << 0;
    QTest::newRow("leading space") << QByteArray(" E") << "=" << 0;
    QTest::newRow("trailing spaces key nothing") << QByteArray("E   ") << "=" << 0;
    QTest::newRow("skipped character") << QByteArray("E#T") << "=...===" << 1;
    QTest::newRow("skipped after a space") << QByteArray("E #T") << "=.......===" << 1;
    QTest::newRow("8-bit byte") << QByteArray("E\xe9T") << "=...===" << 1;
    QTest::newRow("nothing to key") << QByteArray("#%\n") << "" << 3;
    QTest::newRow("digit") << QByteArray("0") << "===.===.===.===.===" << 0;
    QTest::newRow("BT") << QByteArray("=") << "===.=.=.=.===" << 0;
    QTest::newRow("AR") << QByteArray("+") << "=.===.=.===.=" << 0;
    QTest::newRow("KN") << QByteArray("(") << "===.=.===.===.=" << 0;
    QTest::newRow("six elements") << QByteArray("?") << "=.=.===.===.=.=" << 0;
    // 43 dots, the standard word's 50 less its closing word gap.
    QTest::newRow("PARIS") << QByteArray("PARIS ")
                           << "=.===.===.=...=.===...=.===.=...=.=...=.=.=" << 0;
}

void tst_morse::elements()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, drawn);
    QFETCH(int, skipped);
    int skips = 0;
    QCOMPARE(schedule(text, &skips), drawn);
    QCOMPARE(skips, skipped);
}

void tst_morse::readBack_data()
{
    QTest::addColumn<int>("fromWpm");
    QTest::addColumn<int>("toWpm");
    QTest::addColumn<qint64>("jitter");
    QTest::newRow("20 wpm") << 20 << 20 << qint64(0);
    QTest::newRow("60 wpm, edges 1.5 ms off") << 60 << 60 << 3 * millisecond / 2;
    QTest::newRow("20 to 30 wpm") << 20 << 30 << millisecond;
    QTest::newRow("40 to 25 wpm") << 40 << 25 << millisecond;
}

void tst_morse::readBack()
{
    QFETCH(int, fromWpm);
    QFETCH(int, toWpm);
    QFETCH(qint64, jitter);
    const QByteArray text = "ABCDEFGHIJKLM NOPQRSTUVWXYZ 0123456789 .,?/=+-()'\":@!";
    const auto dotOf = [&](int i) { return dotAt(i < text.size() / 2 ? fromWpm : toWpm); };
    QCOMPARE(keyedAndRead(text, dotOf, jitter), QString::fromLatin1(text));
}

QTEST_GUILESS_MAIN(tst_morse)
#include "tst_morse.moc"
