// SPDX-License-Identifier: GPL-2.0-or-later
// Integer texts of any length against a reference written here: the sign and
// the digits without leading zeros, compared by length, then digit by digit.
extern "C" {
#include "primary.h"
}

#include <gtest/gtest.h>

#include "qktest.h"

#include <random>
#include <string>

namespace {

struct Reference
{
    bool negative;
    std::string digits; // no leading zeros; empty for zero
};

Reference parse(const std::string &word)
{
    size_t i = word.find_first_not_of(" \t");
    Reference r {false, {}};
    if (word[i] == '+' || word[i] == '-') {
        r.negative = word[i] == '-';
        i++;
    }
    size_t end = word.find_first_not_of("0123456789", i);
    std::string digits = word.substr(i, end == std::string::npos ? std::string::npos : end - i);
    size_t first = digits.find_first_not_of('0');
    r.digits = first == std::string::npos ? "" : digits.substr(first);
    if (r.digits.empty()) {
        r.negative = false;
    }
    return r;
}

int compareMagnitude(const std::string &a, const std::string &b)
{
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

int reference(const std::string &a, const std::string &b)
{
    Reference x = parse(a), y = parse(b);
    if (x.negative != y.negative) {
        return x.negative ? -1 : 1;
    }
    int m = compareMagnitude(x.digits, y.digits);
    return x.negative ? -m : m;
}

int sign(int v)
{
    return (v > 0) - (v < 0);
}

// Integer words of every shape: blanks, signs, leading zeros, all zeros,
// lengths far beyond any machine number, many sharing a long prefix.
std::string randomInteger(std::mt19937_64 &rng)
{
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    static const char *const blanks[] = {"", "", "", " ", "\t", "  "};
    std::string w = blanks[pick(6)];
    int s = pick(4);
    w += s == 0 ? "-" : s == 1 ? "+" : "";
    w += std::string(size_t(pick(3)), '0');
    int len = pick(5) == 0 ? 1 + pick(60) : 1 + pick(4);
    static const char *const prefixes[] = {"", "1234567890123456789", "99999999999"};
    std::string digits = pick(3) == 0 ? prefixes[pick(3)] : "";
    for (int i = 0; i < len; i++) {
        digits += char('0' + (pick(8) == 0 ? 0 : pick(10)));
    }
    if (pick(10) == 0) {
        digits = std::string(digits.size(), '0');
    }
    w += digits;
    w += blanks[pick(6)];
    return w;
}

TEST(Integers, CompareMatchesReferenceOnRandomPairs)
{
    std::mt19937_64 rng(20261210);
    for (int i = 0; i < 20000; i++) {
        std::string a = randomInteger(rng);
        std::string b = i % 7 == 0 ? a : randomInteger(rng);
        int got = sign(compare_integer_texts(check_integer(a.c_str()), check_integer(b.c_str())));
        ASSERT_EQ(got, reference(a, b)) << "[" << a << "] vs [" << b << "]";
        ASSERT_EQ(sign(compare_integer_texts(check_integer(b.c_str()), check_integer(a.c_str()))),
                  -got)
            << "[" << b << "] vs [" << a << "]";
    }
}

TEST(Integers, CheckIntegerKeepsMinusDropsPlusAndBlanks)
{
    const struct
    {
        const char *word;
        const char *text;
    } cases[] = {
        {"42", "42"},
        {"+42", "42"},
        {"-42", "-42"},
        {"  \t-0 ", "-0 "},
        {" +7\t", "7\t"},
    };
    for (const auto &c : cases) {
        EXPECT_STREQ(check_integer(c.word), c.text) << c.word;
    }
}

TEST(Integers, LengthTextOfAnySize)
{
    char buf[LENGTH_TEXT_SIZE];
    const size_t values[] = {0, 1, 9, 10, 4294967295u, size_t(-1)};
    for (size_t v : values) {
        EXPECT_EQ(length_text(v, buf), std::to_string(v));
    }
}

// The whole program, all six operators, against the same reference.
TEST(Integers, ProgramMatchesReferenceOnRandomPairs)
{
    std::mt19937_64 rng(7);
    const char *const ops[] = {"-eq", "-ne", "-lt", "-le", "-gt", "-ge"};
    for (int i = 0; i < 600; i++) {
        std::string a = randomInteger(rng);
        std::string b = i % 5 == 0 ? a : randomInteger(rng);
        const char *op = ops[i % 6];
        int c = reference(a, b);
        bool expected = op[1] == 'e' ? c == 0
            : op[1] == 'n'           ? c != 0
            : op[1] == 'l'           ? (op[2] == 't' ? c < 0 : c <= 0)
                                     : (op[2] == 't' ? c > 0 : c >= 0);
        qk::RunResult r = qk::run({TEST_PATH, a, op, b});
        ASSERT_EQ(r.status, expected ? 0 : 1) << "[" << a << "] " << op << " [" << b << "]";
        ASSERT_EQ(r.err, "");
    }
}

} // namespace
