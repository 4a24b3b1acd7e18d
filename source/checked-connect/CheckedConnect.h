#pragma once
// Every signal/slot connection of the plug-in is verified where it is made. A connection
// that fails is a programming error (a misspelt signature, a wrong sender), so the program
// stops at once, in every build type, naming the function, the file and the line.

#include <QObject>
#include <QtGlobal>

#define CHECKED_CONNECT(...)                                                                       \
    do {                                                                                           \
        if (!QObject::connect(__VA_ARGS__))                                                        \
            qFatal("CHECKED_CONNECT failed in %s (%s:%d)", Q_FUNC_INFO, __FILE__, __LINE__);       \
    } while (false)
