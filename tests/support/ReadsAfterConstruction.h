#pragma once
// The table-driven check that each interpreter test program runs over its own commands: what a
// channel fresh from construction answers. Rows carry the command text ("command") and the
// bytes the client receives ("answer", empty when the command answers nothing).

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
