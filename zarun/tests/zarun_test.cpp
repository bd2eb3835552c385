// SPDX-License-Identifier: GPL-2.0-or-later
#include "qktest.h"

#include <gtest/gtest.h>

namespace {

qk::RunResult zarun(const std::vector<std::string> &args, qk::RunOptions o = {})
{
    std::vector<std::string> argv = {ZARUN_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    if (!o.env.count("LC_ALL")) {
        o.env["LC_ALL"] = "C.UTF-8";
    }
    o.unsetEnv = {"RUBYOPT", "RUBYLIB"};
    return qk::run(argv, o);
}

TEST(Zarun, ScriptFileWithArguments)
{
    qk::TempDir dir;
    qk::writeFile(dir.file("args.rb"), "puts $0.end_with?('args.rb')\nputs ARGV.join('|')\n");
    auto r = zarun({dir.file("args.rb"), "one", "two words", "-x"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "true\none|two words|-x\n");
    EXPECT_EQ(r.err, "");
}

TEST(Zarun, StatusAndMessagesComeFromTheInterpreter)
{
    const struct
    {
        std::vector<std::string> args;
        int status;
        const char *out;
        const char *errPart;
    } cases[] = {
        {{"-e", "puts 6 * 7"}, 0, "42\n", ""},
        {{"-e", "exit 3"}, 3, "", ""},
        {{"-e", "exit!(5)"}, 5, "", ""},
        {{"-e", "raise ArgumentError, 'bad thing'"}, 1, "", "bad thing (ArgumentError)"},
        {{"-e", "def x("}, 1, "", "syntax error"},
        {{"-e", "$stderr.puts 'to stderr'; abort"}, 1, "", "to stderr"},
        {{"/nonexistent/script.rb"}, 1, "", "No such file or directory"},
        {{"--no-such-option"}, 1, "", "invalid option --no-such-option"},
    };
    for (const auto &c : cases) {
        auto r = zarun(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back() << ": " << r.err;
        EXPECT_EQ(r.out, c.out) << c.args.back();
        EXPECT_NE(r.err.find(c.errPart), std::string::npos) << c.args.back() << ": " << r.err;
    }
}

TEST(Zarun, ReadsTheScriptFromStandardInput)
{
    qk::RunOptions o;
    o.input = "puts ARGV.inspect\nputs 'from stdin'\n";
    auto r = zarun({"-", "a"}, o);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "[\"a\"]\nfrom stdin\n");

    qk::RunOptions data;
    data.input = "alpha\nbeta\n";
    auto d = zarun({"-e", "puts $stdin.readlines.map(&:upcase).reverse"}, data);
    EXPECT_EQ(d.out, "BETA\nALPHA\n");
}

TEST(Zarun, TextFollowsTheLocale)
{
    // In a UTF-8 locale the two bytes of "é" are one character.
    const char *script = "s = ARGV[0]; puts s.length, s.upcase, Encoding.default_external";
    auto utf8 = zarun({"-e", script, "\xc3\xa9t\xc3\xa9"});
    EXPECT_EQ(utf8.status, 0) << utf8.err;
    EXPECT_EQ(utf8.out, "3\n\xc3\x89T\xc3\x89\nUTF-8\n");

    qk::RunOptions c;
    c.env["LC_ALL"] = "C";
    auto plain = zarun({"-e", "puts ARGV[0].length, Encoding.default_external", "\xc3\xa9"}, c);
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out, "2\nUS-ASCII\n");
}

} // namespace
