#pragma once
// The base of the interpreter test programs that share two tables, each program with rows for
// its own commands:
// - readsAfterConstruction: what a channel fresh from construction answers. Rows carry the
//   command text ("command") and the bytes the client receives ("answer", empty when the
//   command answers nothing).
// - sets: a set and the read that shows it. Rows carry the set ("command"), the host commands
//   it sends ("host", as InterpreterHarness::sentCommands describes them), the read ("read")
//   and its answer ("readAnswer").
// Qt Test runs the base's slots with the program's own. The header is compiled (and moc'ed)
// by each program that uses it, as it needs the control library.

#include "InterpreterHarness.h"

#include <QObject>
#include <QTest>

class InterpreterTables : public QObject
{
    Q_OBJECT
protected:
    // The program's rows; the columns are added already.
    virtual void readAfterConstructionRows() = 0;
    virtual void setThenReadRows() = 0;

private slots:
    void readsAfterConstruction_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("answer");
        readAfterConstructionRows();
    }

    // A new channel with its port open gives the row's answer, logs it as its only answer, and
    // asks nothing of the host.
    void readsAfterConstruction()
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

    void sets_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("host");
        QTest::addColumn<QString>("read");
        QTest::addColumn<QByteArray>("readAnswer");
        setThenReadRows();
    }

    // On a new channel with its port open the set answers nothing and logs no answer (unless
    // the row's set is its own read), sends exactly the row's host commands, and the read then
    // gives the row's answer.
    void sets()
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
};
