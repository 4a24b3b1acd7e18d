// The benchmark's own judges: the check of every answer in the throughput and log runs (a
// missing, extra, reordered or malformed answer must count as wrong), the percentiles the
// latency targets are read from, the targets (each fault misses its own target and no other,
// the CW keying rows' included), and the command line and program start that must fail loudly
// instead of measuring something else.

#include "AnswerCheck.h"
#include "BenchOptions.h"
#include "ChildProcess.h"
#include "RuntimeDirectory.h"
#include "Stats.h"
#include "Targets.h"

#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <string>

namespace
{

// A well-formed answer for `expected`: its prefix, digits up to its length, ";".
std::string answerFor(const traffic::Expected& expected)
{
    std::string answer(expected.prefix);
    if (answer.size() < expected.length)
        answer.resize(expected.length - 1, '0');
    if (answer.back() != ';')
        answer += ';';
    return answer;
}

// Every answer of `writes` writes of the cycle, in order.
std::vector<std::string> cycleAnswers(long writes)
{
    std::vector<std::string> answers;
    for (long i = 0; i < writes; ++i) {
        const traffic::Write& write = traffic::cycle[std::size_t(i) % traffic::cycleLength];
        for (int a = 0; a < write.answers; ++a)
            answers.push_back(answerFor(write.expected[a]));
    }
    return answers;
}

LatencyRow& latencyRow(BenchResults& results, const char* server, const char* command)
{
    for (LatencyRow& row : results.latency) {
        if (row.server == server && row.command == std::string(command))
            return row;
    }
    return results.latency.front();
}

// A run in which every target is met: the plug-in at the floor's pace, a quiet port nearly
// free, every answer right.
BenchResults resultsMeetingEveryTarget()
{
    BenchResults results;
    for (const char* server : {"plug-in", floorLabel, bareLabel, "plug-in TCP", tcpFloorLabel}) {
        for (const char* command : {"FA;", "IF;"}) {
            LatencyRow row;
            row.server = server;
            row.command = command;
            row.stats = {100, 100, 120, 150, 300};
            row.right = 100;
            results.latency.push_back(row);
        }
    }
    results.scale.channels = 8;
    for (const char* server : {"plug-in", floorLabel, bareLabel})
        results.scale.rows.push_back({server, {800, 100, 150, 200, 400}, 220, 800, 0, 0});
    BuildResults build;
    build.label = "plug-in";
    const TrafficResult flood{30000, 24000, 24000, 0, 0, 1.0};
    build.throughput = flood;
    build.stall = flood;
    build.stallRelayed = flood;
    IdleRow quiet;
    quiet.setup = "1 CAT";
    quiet.channels = quiet.ports = 1;
    quiet.hostCpu = 0.101;
    quiet.hostBaseline = 0.1;
    quiet.bareCpu = 0.07;
    IdleRow watched = quiet;
    watched.setup = "1 CAT, CAT line for PTT";
    watched.catLine = true;
    watched.hostCpu = 0.17;
    build.idle = {quiet, watched};
    build.log = {{false, 50000, 50100, flood, 10, 20.}, {true, 52000, 53000, flood, 10, 30.}};
    for (const char* load : keyingLoads) {
        for (const int wpm : keyingSpeeds)
            build.keying.push_back({wpm, load, {111, 60, 200, 700, 1500}, 112, 112, flood});
    }
    results.builds.push_back(build);
    TcpResults& tcp = results.tcp;
    tcp.measured = true;
    tcp.sessions.channels = 8;
    for (const char* server : {"plug-in TCP", tcpFloorLabel})
        tcp.sessions.rows.push_back({server, {800, 100, 150, 200, 400}, 220, 800, 0, 0});
    tcp.pollerAlone = latencyRow(results, "plug-in TCP", "FA;");
    tcp.pollerBesideFlood = tcp.pollerAlone;
    tcp.flood = flood;
    tcp.push = tcp.pollerAlone;
    tcp.quietSessions = 8;
    tcp.idleHostCpu = 0.101;
    tcp.idleHostBaseline = 0.1;
    tcp.idleBareCpu = 0.07;
    return results;
}

KeyingRow& keyingRow(BenchResults& results, int wpm, const char* load)
{
    for (KeyingRow& row : results.builds[0].keying) {
        if (row.wpm == wpm && row.load == load)
            return row;
    }
    return results.builds[0].keying.front();
}

// One departure from a run that meets every target, and the one target it must miss.
struct Departure {
    const char* row;
    void (*apply)(BenchResults&);
    const char* missed;
};

const Departure departures[] = {
    {"all met", [](BenchResults&) {}, ""},
    {"FA; answer wrong", [](BenchResults& r) { latencyRow(r, "plug-in", "FA;").wrong = 1; },
     "\"FA;\" answers"},
    {"IF; answer missing", [](BenchResults& r) { latencyRow(r, "plug-in", "IF;").missing = 1; },
     "\"IF;\" answers"},
    {"FA; p50 over 1.3 x floor",
     [](BenchResults& r) { latencyRow(r, "plug-in", "FA;").stats.p50 = 131; }, "\"FA;\" p50"},
    {"IF; p99 over 1 ms", [](BenchResults& r) { latencyRow(r, "plug-in", "IF;").stats.p99 = 1001; },
     "\"IF;\" p99"},
    {"throughput answer missing", [](BenchResults& r) { r.builds[0].throughput.missing = 1; },
     "throughput answers"},
    {"throughput without any answer", [](BenchResults& r) { r.builds[0].throughput.right = 0; },
     "throughput answers"},
    {"stalled flood loses an answer", [](BenchResults& r) { r.builds[0].stall.missing = 3; },
     "flood with a reading stall, answers"},
    {"stalled flood through socat loses an answer",
     [](BenchResults& r) { r.builds[0].stallRelayed.missing = 1; },
     "flood with a reading stall, socat, answers"},
    {"log view on, answer wrong", [](BenchResults& r) { r.builds[0].log[1].traffic.wrong = 1; },
     "flood answers, log view on"},
    {"log view on, memory unbounded",
     [](BenchResults& r) { r.builds[0].log[1].rssAfterKiB += 8192; }, "memory growth, log view on"},
    {"log view on, warm-up flood leaves memory behind",
     [](BenchResults& r) {
         r.builds[0].log[1].rssBeforeKiB += 9000;
         r.builds[0].log[1].rssAfterKiB += 9000;
     },
     "memory, log view on beside off"},
    {"log view on, script line late",
     [](BenchResults& r) { r.builds[0].log[1].scriptWorstMs = 150; },
     "script line during the flood, log view on"},
    {"log view off, script line never handled",
     [](BenchResults& r) { r.builds[0].log[0].scriptWorstMs = -1; },
     "script line during the flood, log view off"},
    {"quiet port over 0.1 x bare loop",
     [](BenchResults& r) { r.builds[0].idle[0].hostCpu = 0.108; }, "idle CPU per channel, 1 CAT"},
    {"watched port over 1.1 x bare loop",
     [](BenchResults& r) { r.builds[0].idle[1].hostCpu = 0.178; },
     "idle CPU per channel, 1 CAT, CAT line for PTT"},
    {"8 channels, p99 over 1.5 x floor", [](BenchResults& r) { r.scale.rows[0].stats.p99 = 301; },
     "8-channel p99"},
    {"8 channels, answer missing", [](BenchResults& r) { r.scale.rows[0].missing = 1; },
     "8-channel answers"},
    {"floor answers wrong", [](BenchResults& r) { r.scale.rows[1].wrong = 1; },
     "reference servers' answers"},
    {"TCP FA; p50 over 1.3 x TCP floor",
     [](BenchResults& r) { latencyRow(r, "plug-in TCP", "FA;").stats.p50 = 131; },
     "TCP \"FA;\" p50"},
    {"8 TCP sessions, p99 over 1.5 x TCP floor",
     [](BenchResults& r) { r.tcp.sessions.rows[0].stats.p99 = 301; }, "8 TCP sessions p99"},
    {"poller slowed by a flood", [](BenchResults& r) { r.tcp.pollerBesideFlood.stats.p99 = 226; },
     "TCP poller beside a flood p99"},
    {"push over 1 ms", [](BenchResults& r) { r.tcp.push.stats.p99 = 1001; }, "push latency p99"},
    {"push missing", [](BenchResults& r) { r.tcp.push.missing = 1; }, "pushes"},
    {"quiet TCP sessions over 0.1 x bare loop", [](BenchResults& r) { r.tcp.idleHostCpu = 0.108; },
     "idle CPU, 8 quiet TCP sessions"},
    {"TCP floor answers wrong", [](BenchResults& r) { r.tcp.sessions.rows[1].wrong = 1; },
     "reference servers' answers"},
    {"CW edge p99 over 1 ms",
     [](BenchResults& r) { keyingRow(r, 40, keyingLoads[1]).errorUs.p99 = 1001; },
     "CW 40 wpm, flood, edge error p99"},
    {"CW edge over 2 ms",
     [](BenchResults& r) { keyingRow(r, 60, keyingLoads[0]).errorUs.max = 2001; },
     "CW 60 wpm, polled 20/s, edge error max"},
    {"CW edge missing", [](BenchResults& r) { keyingRow(r, 20, keyingLoads[0]).edges = 111; },
     "CW 20 wpm, polled 20/s, edges and answers"},
    {"CW poll unanswered",
     [](BenchResults& r) { keyingRow(r, 20, keyingLoads[1]).traffic.missing = 1; },
     "CW 20 wpm, flood, edges and answers"},
};

} // namespace

class tst_bench_checks : public QObject
{
    Q_OBJECT

private slots:
    void matches_data();
    void matches();
    void checkerCountsEveryDeparture_data();
    void checkerCountsEveryDeparture();
    void percentiles_data();
    void percentiles();
    void targetMissedByEachFault_data();
    void targetMissedByEachFault();
    void commandLine_data();
    void commandLine();
    void startFailsAtOnce_data();
    void startFailsAtOnce();
};

void tst_bench_checks::matches_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("match");

    QTest::newRow("exact") << "FA00007074000;"
                           << "FA00007074000;" << 14 << true;
    QTest::newRow("other frequency") << "FA00014074000;"
                                     << "FA00007074000;" << 14 << false;
    QTest::newRow("shape") << "SM00012;"
                           << "SM0" << 8 << true;
    QTest::newRow("IF with sign and spaces") << "IF0000707400000000+000000000020000000;"
                                             << "IF00007074000" << 38 << true;
    QTest::newRow("one digit short") << "SM0012;"
                                     << "SM0" << 8 << false;
    QTest::newRow("letter in a field") << "SM000A2;"
                                       << "SM0" << 8 << false;
    QTest::newRow("no terminator") << "SM000123"
                                   << "SM0" << 8 << false;
    QTest::newRow("rejected") << "?;"
                              << "SM0" << 8 << false;
    QTest::newRow("answer of another command") << "AG0170;"
                                               << "SM0" << 8 << false;
}

void tst_bench_checks::matches()
{
    QFETCH(QString, answer);
    QFETCH(QString, prefix);
    QFETCH(int, length);
    QFETCH(bool, match);
    const std::string text = answer.toStdString();
    const std::string start = prefix.toStdString();
    QCOMPARE(traffic::matches(text, {start, std::size_t(length)}), match);
}

void tst_bench_checks::checkerCountsEveryDeparture_data()
{
    QTest::addColumn<int>("change"); // 0 none, 1 one dropped, 2 one doubled, 3 two swapped
    QTest::addColumn<bool>("allRight");

    QTest::newRow("as expected") << 0 << true;
    QTest::newRow("one answer missing") << 1 << false;
    QTest::newRow("one answer twice") << 2 << false;
    QTest::newRow("two answers swapped") << 3 << false;
}

void tst_bench_checks::checkerCountsEveryDeparture()
{
    QFETCH(int, change);
    QFETCH(bool, allRight);
    // Two and a half cycles, so the check follows the cycle round.
    const long writes = long(traffic::cycleLength) * 5 / 2;
    std::vector<std::string> answers = cycleAnswers(writes);
    QCOMPARE(long(answers.size()), traffic::Checker::answersFor(writes));
    const std::size_t at = answers.size() / 2;
    if (change == 1)
        answers.erase(answers.begin() + long(at));
    else if (change == 2)
        answers.insert(answers.begin() + long(at), answers[at]);
    else if (change == 3)
        std::swap(answers[at], answers[at + 1]);

    traffic::Checker checker;
    for (const std::string& answer : answers)
        checker.feed(answer);
    QCOMPARE(checker.right() + checker.wrong(), long(answers.size()));
    QCOMPARE(checker.wrong() == 0, allRight);
}

void tst_bench_checks::percentiles_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("p50");
    QTest::addColumn<double>("p90");
    QTest::addColumn<double>("p99");

    // Samples 1..count in reverse order: nearest rank gives the sample at ceil(share * count).
    QTest::newRow("hundred") << 100 << 50.0 << 90.0 << 99.0;
    QTest::newRow("thousand") << 1000 << 500.0 << 900.0 << 990.0;
    QTest::newRow("seven") << 7 << 4.0 << 7.0 << 7.0;
    QTest::newRow("one") << 1 << 1.0 << 1.0 << 1.0;
    QTest::newRow("none") << 0 << 0.0 << 0.0 << 0.0;
}

void tst_bench_checks::percentiles()
{
    QFETCH(int, count);
    QFETCH(double, p50);
    QFETCH(double, p90);
    QFETCH(double, p99);
    std::vector<double> samples;
    for (int i = count; i >= 1; --i)
        samples.push_back(i);
    const Percentiles result = ::percentiles(samples);
    QCOMPARE(result.count, long(count));
    QCOMPARE(result.p50, p50);
    QCOMPARE(result.p90, p90);
    QCOMPARE(result.p99, p99);
    QCOMPARE(result.max, double(count));
}

void tst_bench_checks::targetMissedByEachFault_data()
{
    QTest::addColumn<int>("departure");
    for (std::size_t i = 0; i < std::size(departures); ++i)
        QTest::newRow(departures[i].row) << int(i);
}

void tst_bench_checks::targetMissedByEachFault()
{
    QFETCH(int, departure);
    const Departure& fault = departures[departure];
    BenchResults results = resultsMeetingEveryTarget();
    fault.apply(results);
    int missed = 0;
    for (const Target& target : judgeTargets(results, "plug-in")) {
        const std::string text = target.name + ": " + target.measured + ", " + target.limit;
        QVERIFY2(target.met != (target.name == fault.missed), text.c_str());
        missed += !target.met;
    }
    QCOMPARE(missed, *fault.missed ? 1 : 0);
}

void tst_bench_checks::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("parsed"); // "bench", "serve", or the start of the error

    const QStringList measure = {"--host-sim", "h", "--plugin", "p"};
    QTest::newRow("measure") << measure << "bench";
    QTest::newRow("measure, quick") << (measure + QStringList{"--quick"}) << "bench";
    QTest::newRow("measure, before") << (measure + QStringList{"--before", "old/bin"}) << "bench";
    QTest::newRow("trailing word")
        << (measure + QStringList{"extra"}) << "unexpected argument extra";
    QTest::newRow("unknown option") << (measure + QStringList{"--fast"}) << "unknown option --fast";
    QTest::newRow("value missing")
        << QStringList{"--host-sim", "h", "--plugin"} << "option --plugin needs a value";
    QTest::newRow("plug-in missing") << QStringList{"--host-sim", "h"} << "--host-sim and";
    QTest::newRow("serve") << QStringList{"serve", "bare", "--cat", "COM1,COM2", "--lines", "COM3"}
                           << "serve";
    QTest::newRow("serve, trailing word") << QStringList{"serve", "floor", "--cat", "COM1", "COM2"}
                                          << "serve: unexpected argument COM2";
    QTest::newRow("serve, unknown option")
        << QStringList{"serve", "floor", "--cat", "COM1", "--quick"}
        << "serve: unknown option --quick";
    QTest::newRow("serve, unknown kind")
        << QStringList{"serve", "fast", "--cat", "COM1"} << "serve takes floor, bare or tcp-floor";
    QTest::newRow("serve tcp-floor")
        << QStringList{"serve", "tcp-floor", "--port", "4481"} << "serve tcp-floor";
    QTest::newRow("serve tcp-floor, no port")
        << QStringList{"serve", "tcp-floor"} << "serve tcp-floor needs --port";
}

void tst_bench_checks::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, parsed);
    std::vector<std::string> words = {"cat-bench"};
    for (const QString& argument : arguments)
        words.push_back(argument.toStdString());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    const ParsedCommandLine result = parseCommandLine(int(words.size()), argv.data());
    if (parsed == "bench") {
        QVERIFY2(result.bench && !result.serve, result.error.c_str());
        QCOMPARE(result.bench->quick, arguments.contains("--quick"));
        QCOMPARE(result.bench->plugin, std::string("p"));
        const std::vector<Build> builds = result.bench->builds();
        QCOMPARE(builds.size(), std::size_t(arguments.contains("--before") ? 2 : 1));
        QCOMPARE(builds.back().plugin,
                 std::string(builds.size() == 2 ? "old/bin/libKenwoodTS480.so" : "p"));
    } else if (parsed == "serve") {
        QVERIFY2(result.serve && !result.bench, result.error.c_str());
        QCOMPARE(result.serve->catPorts, (std::vector<std::string>{"COM1", "COM2"}));
        QCOMPARE(result.serve->linePorts, std::vector<std::string>{"COM3"});
    } else if (parsed == "serve tcp-floor") {
        QVERIFY2(result.serve && !result.bench, result.error.c_str());
        QCOMPARE(result.serve->kind, ReferenceKind::TcpFloor);
        QCOMPARE(result.serve->tcpPort, 4481);
    } else {
        QVERIFY(!result.bench && !result.serve);
        QVERIFY2(QString::fromStdString(result.error).startsWith(parsed), result.error.c_str());
        QVERIFY(result.error.find("usage: cat-bench") != std::string::npos);
    }
}

void tst_bench_checks::startFailsAtOnce_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("reason");

    QTest::newRow("no such program") << "/nonexistent/cat-bench-child"
                                     << "No such file";
    QTest::newRow("not in PATH") << "cat-bench-no-such-program"
                                 << "No such file";
    QTest::newRow("not executable") << ""
                                    << "Permission denied"; // a file made here
}

void tst_bench_checks::startFailsAtOnce()
{
    QFETCH(QString, program);
    QFETCH(QString, reason);
    QTemporaryFile plainFile; // no execute permission for anyone, not even root
    // The search path is the test's own: a folder of the tester's PATH that they may not read
    // would give "Permission denied".
    const QTemporaryDir emptyFolder;
    const EnvironmentVariable path("PATH", emptyFolder.path());
    if (program.isEmpty()) {
        QVERIFY(plainFile.open());
        program = plainFile.fileName();
    }
    ChildProcess process;
    std::string error;
    QVERIFY(!process.start({program.toStdString()}, "/dev/null", error));
    QVERIFY(!process.isRunning());
    QVERIFY2(QString::fromStdString(error).startsWith(program + ": " + reason), error.c_str());
}

QTEST_MAIN(tst_bench_checks)
#include "tst_bench_checks.moc"
