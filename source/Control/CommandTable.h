#pragma once
// The Kenwood TS-480 commands this channel understands, as data: letters, answer template,
// width of the template's number field, handler, the largest value a set takes and what its
// parameter may hold. The interpreter finds a command's entry by its command code; every
// handler has the same signature.

#include "CommandFramer.h"

#include <QtGlobal>

#include <limits>
#include <string_view>

class Request;

using Handler = void (*)(Request&);

struct CommandEntry {
    std::string_view letters;
    // The read answer: a fixed text, or a template whose number field ends before the ";".
    std::string_view answer;
    // Digit positions of that number field; 0 for a fixed text.
    int width;
    Handler handler;
    // The largest value of the TS-480's own field for this command: a set above it is ignored,
    // as no TS-480 client sends one (a noisy line may).
    int maximum = std::numeric_limits<int>::max();
    ParameterKind kind = ParameterKind::Digits;
    // The auto-information reads whose value the command may change (push::Item bits).
    quint8 pushes = 0;
};

// The entry for `code`; an unrecognised code gets the entry that answers "?;" to a read.
const CommandEntry& findCommand(quint16 code);
