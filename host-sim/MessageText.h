#pragma once
// Turns a host command message (a QVariantList [id, elements...]) into one printable line:
// "cmd <id> <encoder name> <elements...>", e.g. "cmd 19 rxVfo 0 0 14074000". Booleans print
// as 1 and 0, whole doubles without a fraction, nested lists as [a,b,c], addresses in hex.
// A message that is not a list of at least an ID prints as "cmd ?" followed by its text.

#include <QString>
#include <QVariant>

// The encoder name of a command ID ("rxVfo" for 19), or "?" for an unassigned ID.
QString commandName(int id);

QString describeMessage(const QVariant& message);
