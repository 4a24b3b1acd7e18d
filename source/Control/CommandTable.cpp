#include "CommandTable.h"

#include "AutoInformation.h"
#include "FilterCommands.h"
#include "FrequencyCommands.h"
#include "KeyerCommands.h"
#include "LevelCommands.h"
#include "Request.h"
#include "RitCommands.h"

#include <array>
#include <iterator>

namespace
{

// Commands that answer their table text to a read and ignore any parameter. An unrecognised
// command is treated the same way with the answer "?;".
void fixedAnswer(Request& request)
{
    if (request.isRead())
        request.replyFixed();
}

// EX reads (menu, two sub-numbers, seven digits in all) and sets (the same and a value) the
// menu. Only menu 45 is read: clients ask it before SL and SH to learn whether those are the
// low and high cut (menu 45 off, as here) or width and shift. Every other read answers "?;";
// sets answer nothing.
constexpr std::string_view filterMenuRead = "0450000";
constexpr std::string_view filterMenuAnswer = "EX04500000;";

void menu(Request& request)
{
    if (request.length() > qsizetype(filterMenuRead.size()))
        return;
    if (request.parameter() ==
        QLatin1String(filterMenuRead.data(), qsizetype(filterMenuRead.size())))
        return request.reply(Answer(filterMenuAnswer));
    request.replyFixed();
}

// The IF status answer: frequency, five zeros, RIT offset with sign, RIT, XIT, memory and
// state digits; filled in by frequency::ifStatus.
constexpr std::string_view statusTemplate = "IF00000000000"
                                            "00000"
                                            "+0000"
                                            "0000000000000"
                                            "0;";

constexpr int noLimit = std::numeric_limits<int>::max();

// In alphabetical order of the letters. The limits are the largest values of the TS-480's
// fields: AF, RF gain and squelch 255, microphone gain 100, keyer speed 60 wpm, noise blanker
// 10, break-in delay 1000 ms, power 200 W (the 200 W model's field), CTCSS tone number 41; PS
// and TX take 0 or 1. The monitor level takes what its own read answers, up to 100. A sign is
// taken only by the commands whose answers carry one.
constexpr CommandEntry commands[] = {
    {"AC", "AC000;", 0, fixedAnswer},
    {"AG", "AG0000;", 3, levels::ag, 255},
    {"AI", "AI0;", 1, push::ai, 3},
    {"AN", "AN0;", 1, levels::an},
    {"BC", "BC0;", 0, fixedAnswer},
    {"BY", "BY00;", 0, fixedAnswer},
    {"CA", "CA0;", 0, fixedAnswer},
    {"CN", "CN00;", 2, rit::cn, 41},
    {"CT", "CT0;", 1, rit::ct},
    {"DL", "DL000;", 0, fixedAnswer},
    {"EX", "?;", 0, menu},
    {"FA", "FA00000000000;", 11, frequency::fa, noLimit, ParameterKind::Digits, push::FA},
    {"FB", "FB00000000000;", 11, frequency::fb, noLimit, ParameterKind::Digits, push::FB},
    {"FR", "FR0;", 1, frequency::fr, noLimit, ParameterKind::Digits, push::FR},
    {"FS", "FS0;", 0, fixedAnswer},
    {"FT", "FT0;", 1, frequency::ft, noLimit, ParameterKind::Digits, push::FT},
    {"FW", "FW0000;", 4, filter::fw},
    {"GT", "GT000;", 3, levels::gt},
    {"ID", "ID020;", 0, fixedAnswer},
    {"IF", statusTemplate, 0, frequency::ifStatus, noLimit, ParameterKind::Signed},
    {"IS", "IS+0000;", 0, fixedAnswer, noLimit, ParameterKind::Signed},
    {"KS", "KS000;", 3, levels::ks, 60},
    {"KY", "KY0;", 1, keyer::ky, noLimit, ParameterKind::Text},
    {"LK", "LK00;", 0, fixedAnswer},
    {"LM", "LM10000;", 0, fixedAnswer},
    {"MC", "MC000;", 0, fixedAnswer},
    {"MD", "MD0;", 1, frequency::md, noLimit, ParameterKind::Digits, push::MD},
    {"MF", "MF0;", 0, fixedAnswer},
    {"MG", "MG000;", 3, levels::mg, 100},
    {"ML", "ML000;", 3, levels::ml, 100},
    {"NB", "NB0;", 1, levels::nb},
    {"NL", "NL000;", 3, levels::nl, 10},
    {"NR", "NR0;", 1, levels::nr},
    {"PA", "PA00;", 2, levels::pa},
    {"PB", "PB000;", 0, fixedAnswer},
    {"PC", "PC000;", 3, levels::pc, 200},
    {"PR", "PR0;", 1, levels::pr},
    {"PS", "PS0;", 1, frequency::ps, 1},
    {"QR", "QR00;", 0, fixedAnswer},
    {"RA", "RA0000;", 4, levels::ra},
    {"RC", "", 0, rit::rc, noLimit, ParameterKind::Digits, push::IF},
    {"RD", "RD1;", 0, rit::rd, noLimit, ParameterKind::Digits, push::IF},
    {"RG", "RG000;", 3, levels::rg, 255},
    {"RL", "RL00;", 0, fixedAnswer},
    // SWR, compression and ALC, one answer each, written as one reply.
    {"RM", "RM10000;RM20000;RM30000;", 0, levels::rm},
    {"RT", "RT0;", 1, rit::rt, noLimit, ParameterKind::Digits, push::IF},
    {"RU", "RU1;", 0, rit::ru, noLimit, ParameterKind::Digits, push::IF},
    {"RX", "RX0;", 0, frequency::rx, noLimit, ParameterKind::Digits, push::IF},
    {"SD", "SD0000;", 4, levels::sd, 1000},
    {"SH", "SH00;", 2, filter::sh},
    {"SL", "SL00;", 2, filter::sl},
    {"SM", "SM00000;", 4, levels::sm},
    {"SQ", "SQ0000;", 3, levels::sq, 255},
    {"TN", "TN00;", 0, fixedAnswer},
    {"TO", "TO0;", 0, fixedAnswer},
    {"TS", "TS0;", 0, fixedAnswer},
    {"TX", "", 0, frequency::tx, 1, ParameterKind::Digits, push::IF},
    {"VD", "VD0000;", 0, fixedAnswer},
    {"VG", "VG000;", 0, fixedAnswer},
    {"VX", "VX0;", 0, fixedAnswer},
    {"XT", "XT0;", 1, rit::xt, noLimit, ParameterKind::Digits, push::IF},
};

constexpr CommandEntry unrecognised{"", "?;", 0, fixedAnswer};

constexpr bool isLetter(char c)
{
    return c >= 'A' && c <= 'Z';
}

// Every letter pair has a slot; a slot holds 1 + the index of its command, or 0.
constexpr int letterCount = 26;

constexpr int slotOf(char first, char second)
{
    return (first - 'A') * letterCount + (second - 'A');
}

constexpr bool tableIsSound()
{
    for (size_t i = 0; i < std::size(commands); ++i) {
        const CommandEntry& entry = commands[i];
        const std::string_view answer = entry.answer;
        if (entry.letters.size() != 2 || !isLetter(entry.letters[0]) || !isLetter(entry.letters[1]))
            return false;
        if (i > 0 && !(commands[i - 1].letters < entry.letters))
            return false;
        if (answer.size() > static_cast<size_t>(Answer::capacity))
            return false;
        // A number field never reaches into the letters or the ";".
        if (entry.width > 0 && static_cast<size_t>(entry.width) + 3 > answer.size())
            return false;
        if (!answer.empty() && answer.back() != ';')
            return false;
    }
    return statusTemplate.size() == 38;
}
static_assert(tableIsSound(), "command table: letters, order or answer templates are wrong");

constexpr auto commandSlots = [] {
    std::array<quint8, letterCount * letterCount> table{};
    for (size_t i = 0; i < std::size(commands); ++i)
        table[slotOf(commands[i].letters[0], commands[i].letters[1])] = static_cast<quint8>(i + 1);
    return table;
}();

} // namespace

const CommandEntry& findCommand(quint16 code)
{
    const char first = static_cast<char>(code & 0xff);
    const char second = static_cast<char>(code >> 8);
    if (!isLetter(first) || !isLetter(second))
        return unrecognised;
    const quint8 slot = commandSlots[slotOf(first, second)];
    return slot == 0 ? unrecognised : commands[slot - 1];
}
