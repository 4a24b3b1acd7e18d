#pragma once
// The table-driven checks that each interpreter test program runs over its own commands. What a
// channel fresh from construction answers: rows carry the command text ("command") and the
// bytes the client receives ("answer", empty when the command answers nothing). A set and the
// read that shows it: the set ("command"), the host commands it sends ("host", as
// InterpreterHarness::sentCommands describes them), the read ("read") and its answer
// ("readAnswer").

#include "InterpreterHarness.h"

#include <QTest>

inline void addReadAfterConstructionColumns()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("answer");
}

// One row: a new channel with its port open gives the row's answer, logs it as its only answer,
// and asks nothing of the host.
inline void verifyReadAfterConstruction()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, answer);
    InterpreterHarness h;
    QVERIFY(h.open());
    QCOMPARE(h.run(command), answer);
    QCOMPARE(h.loggedAnswers(),
             answer.isEmpty() ? QStringList() : QStringList{QString::fromLatin1(answer)});
    QCOMPARE(h.sentCommands(), QStringList());
}

inline void addSetThenReadColumns()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("host");
    QTest::addColumn<QString>("read");
    QTest::addColumn<QByteArray>("readAnswer");
}

// One row: on a new channel with its port open the set answers nothing and logs no answer (unless
// the row's set is its own read), sends exactly the row's host commands, and the read then gives
// the row's answer.
inline void verifySetThenRead()
{
    QFETCH(QString, command);
    QFETCH(QStringList, host);
    QFETCH(QString, read);
    QFETCH(QByteArray, readAnswer);
    InterpreterHarness h;
    QVERIFY(h.open());
    const QByteArray setAnswer = h.run(command);
    if (command != read) {
        QCOMPARE(setAnswer, QByteArray());
        QVERIFY(h.loggedAnswers().isEmpty());
    }
    QCOMPARE(h.sentCommands(), host);
    QCOMPARE(h.run(read), readAnswer);
}
