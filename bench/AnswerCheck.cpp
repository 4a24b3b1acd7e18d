#include "AnswerCheck.h"

namespace traffic
{

namespace
{

bool isFieldCharacter(char c)
{
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == ' ';
}

} // namespace

bool matches(std::string_view answer, const Expected& expected)
{
    if (answer.size() != expected.length || answer.back() != ';' ||
        answer.substr(0, expected.prefix.size()) != expected.prefix)
        return false;
    const std::string_view fields =
        answer.substr(expected.prefix.size(), answer.size() - expected.prefix.size() - 1);
    for (const char c : fields) {
        if (!isFieldCharacter(c))
            return false;
    }
    return true;
}

void Checker::feed(std::string_view answer)
{
    const Write& write = m_cycle.at(m_write);
    if (matches(answer, write.expected[m_answer]))
        ++m_right;
    else
        ++m_wrong;
    if (++m_answer == write.answers) {
        m_answer = 0;
        m_write = (m_write + 1) % long(m_cycle.length);
    }
}

long Checker::answersFor(long writes, Cycle cycle)
{
    long answers = 0;
    for (long i = 0; i < writes; ++i)
        answers += cycle.at(i).answers;
    return answers;
}

} // namespace traffic
