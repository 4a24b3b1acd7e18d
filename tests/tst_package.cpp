// The install layout and the Debian package as a host developer meets them: the build is
// installed into a temporary prefix and packed with cpack; the installed and the packaged file
// lists are checked, the installed binaries must find the installed host contract library,
// the installed host-sim must load the installed plug-in, and a tiny host project
// (tests/package-host) is configured with find_package(HostContract), built and run: it loads
// the installed plug-in and casts it to CatAbstract.

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace
{

struct Result {
    int exitCode = -1;
    QString output; // standard output and error together
};

Result run(const QString& program, const QStringList& arguments, const QByteArray& input = {},
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Result result;
    if (!process.waitForStarted(-1)) {
        result.output = process.errorString();
        return result;
    }
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(-1);
    result.output = QString::fromLocal8Bit(process.readAll());
    if (process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    return result;
}

QString describe(const QString& program, const Result& result)
{
    return QStringLiteral("%1 exited %2:\n%3").arg(program).arg(result.exitCode).arg(result.output);
}

QString libDir()
{
    return QStringLiteral(INSTALL_LIBDIR);
}

QString hostContractSoname()
{
    return QStringLiteral("libhostcontract.so.%1").arg(HOSTCONTRACT_SOVERSION);
}

// The line of `text` that starts with `key` and a space, without them; empty when none does.
QString valueAfter(const QString& text, const QString& key)
{
    const QRegularExpression line(QStringLiteral("^%1 (.*)$").arg(QRegularExpression::escape(key)),
                                  QRegularExpression::MultilineOption);
    return line.match(text).captured(1).trimmed();
}

} // namespace

class tst_package : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void installedFiles_data();
    void installedFiles();
    void packagedFiles_data();
    void packagedFiles();
    void packageDependsOnQtRuntime_data();
    void packageDependsOnQtRuntime();
    void installedBinariesFindTheLibrary_data();
    void installedBinariesFindTheLibrary();
    void installedHostSimLoadsInstalledPlugin();
    void hostBuildsAgainstInstalledPackage();

private:
    QString prefixPath(const QString& relative) const
    {
        return work.filePath("prefix/" + relative);
    }
    QString libraryFile() const { return prefixPath(libDir() + '/' + hostContractSoname()); }

    QTemporaryDir work;
    QString packageList; // dpkg-deb -c
    QString packageDepends;
};

void tst_package::initTestCase()
{
    QVERIFY(work.isValid());
    const QString cmake = QStringLiteral(CMAKE_COMMAND);
    const Result install =
        run(cmake, {"--install", QStringLiteral(BUILD_DIR), "--prefix", work.filePath("prefix")});
    QVERIFY2(install.exitCode == 0, qPrintable(describe(cmake, install)));

    const QString cpack = QStringLiteral(CPACK_COMMAND);
    const Result pack = run(cpack, {"--config", QStringLiteral(BUILD_DIR "/CPackConfig.cmake"),
                                    "-G", "DEB", "-B", work.filePath("deb")});
    QVERIFY2(pack.exitCode == 0, qPrintable(describe(cpack, pack)));
    const QStringList debs = QDir(work.filePath("deb")).entryList({"*.deb"}, QDir::Files);
    QCOMPARE(debs.size(), 1);
    const QString deb = work.filePath("deb/" + debs.first());

    const Result contents = run(QStringLiteral("dpkg-deb"), {"-c", deb});
    QVERIFY2(contents.exitCode == 0, qPrintable(describe("dpkg-deb -c", contents)));
    packageList = contents.output;
    const Result depends = run(QStringLiteral("dpkg-deb"), {"-f", deb, "Depends"});
    QVERIFY2(depends.exitCode == 0, qPrintable(describe("dpkg-deb -f", depends)));
    packageDepends = depends.output;
}

void tst_package::installedFiles_data()
{
    QTest::addColumn<QString>("path"); // relative to the prefix
    const QString lib = libDir();
    const QString include = QStringLiteral(INSTALL_INCLUDEDIR "/hostcontract/");
    const QString package = lib + QStringLiteral("/cmake/HostContract/");
    QTest::newRow("plug-in") << lib + "/quorvex/plugins/libKenwoodTS480.so";
    QTest::newRow("library by soname") << lib + '/' + hostContractSoname();
    QTest::newRow("library link for linking") << lib + "/libhostcontract.so";
    QTest::newRow("CatAbstract.h") << include + "CatAbstract.h";
    QTest::newRow("DeviceManagerAbstract.h") << include + "DeviceManagerAbstract.h";
    QTest::newRow("CwKeyControlAbstract.h") << include + "CwKeyControlAbstract.h";
    QTest::newRow("quorvexCommand.h") << include + "quorvexCommand.h";
    QTest::newRow("package config") << package + "HostContractConfig.cmake";
    QTest::newRow("package version") << package + "HostContractConfigVersion.cmake";
    QTest::newRow("package targets") << package + "HostContractTargets.cmake";
    QTest::newRow("host simulator") << QStringLiteral(INSTALL_BINDIR "/host-sim");
}

void tst_package::installedFiles()
{
    QFETCH(QString, path);
    QVERIFY2(QFileInfo::exists(prefixPath(path)), qPrintable(path));
}

void tst_package::packagedFiles_data()
{
    installedFiles_data();
}

void tst_package::packagedFiles()
{
    QFETCH(QString, path);
    // dpkg-deb -c lists "./usr/<path>" at the end of a line ("... -> target" for a link).
    const QRegularExpression entry(
        QStringLiteral(" \\./usr/%1( -> .*)?$").arg(QRegularExpression::escape(path)),
        QRegularExpression::MultilineOption);
    QVERIFY2(entry.match(packageList).hasMatch(), qPrintable(path + '\n' + packageList));
}

void tst_package::packageDependsOnQtRuntime_data()
{
    QTest::addColumn<QString>("package");
    QTest::newRow("Core") << "libqt6core6";
    QTest::newRow("Gui") << "libqt6gui6";
    QTest::newRow("Widgets") << "libqt6widgets6";
    QTest::newRow("SerialPort") << "libqt6serialport6";
}

void tst_package::packageDependsOnQtRuntime()
{
    QFETCH(QString, package);
    const QRegularExpression name(QStringLiteral("(^|[ ,|])%1([ ,(]|$)").arg(package));
    QVERIFY2(name.match(packageDepends).hasMatch(), qPrintable(packageDepends));
}

void tst_package::installedBinariesFindTheLibrary_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("plug-in") << libDir() + "/quorvex/plugins/libKenwoodTS480.so";
    QTest::newRow("host simulator") << QStringLiteral(INSTALL_BINDIR "/host-sim");
}

void tst_package::installedBinariesFindTheLibrary()
{
    QFETCH(QString, path);
    const Result ldd = run(QStringLiteral("ldd"), {prefixPath(path)});
    QVERIFY2(ldd.exitCode == 0, qPrintable(describe("ldd", ldd)));
    const QString lines = QString(ldd.output).remove('\t');
    const QString resolved = valueAfter(lines, hostContractSoname() + " =>").section(' ', 0, 0);
    QCOMPARE(QFileInfo(resolved).canonicalFilePath(), QFileInfo(libraryFile()).canonicalFilePath());
}

void tst_package::installedHostSimLoadsInstalledPlugin()
{
    // No --plugin: the installed simulator finds the plug-in installed with it.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    const QString hostSim = prefixPath(QStringLiteral(INSTALL_BINDIR "/host-sim"));
    const Result host =
        run(hostSim, {"--headless", "--channels", "1", "--settings", work.filePath("host.ini")},
            "quit\n", environment);
    QVERIFY2(host.exitCode == 0, qPrintable(describe(hostSim, host)));
    QCOMPARE(valueAfter(host.output, "plugin"), QStringLiteral("Kenwood TS480"));
}

void tst_package::hostBuildsAgainstInstalledPackage()
{
    const QString cmake = QStringLiteral(CMAKE_COMMAND);
    const QString hostBuild = work.filePath("host-build");
    // The same compiler, generator and flags as this build, so a sanitizer build's host loads
    // the sanitizer build's plug-in.
    const Result configure =
        run(cmake, {"-S", QStringLiteral(PACKAGE_HOST_SOURCE), "-B", hostBuild, "-G", GENERATOR,
                    "-DCMAKE_MAKE_PROGRAM=" MAKE_PROGRAM, "-DCMAKE_CXX_COMPILER=" CXX_COMPILER,
                    "-DCMAKE_CXX_FLAGS=" CXX_FLAGS, "-DCMAKE_EXE_LINKER_FLAGS=" EXE_LINKER_FLAGS,
                    "-DCMAKE_PREFIX_PATH=" + work.filePath("prefix")});
    QVERIFY2(configure.exitCode == 0, qPrintable(describe("configure", configure)));
    const Result build = run(cmake, {"--build", hostBuild});
    QVERIFY2(build.exitCode == 0, qPrintable(describe("build", build)));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    const QString host = hostBuild + "/package-host";
    const Result loaded = run(host, {}, {}, environment);
    QVERIFY2(loaded.exitCode == 0, qPrintable(describe(host, loaded)));
    QCOMPARE(valueAfter(loaded.output, "plugin"), QStringLiteral("Kenwood TS480"));
    QCOMPARE(QFileInfo(valueAfter(loaded.output, "hostcontract")).canonicalFilePath(),
             QFileInfo(libraryFile()).canonicalFilePath());
}

QTEST_GUILESS_MAIN(tst_package)
#include "tst_package.moc"
