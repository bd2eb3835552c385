// SPDX-License-Identifier: GPL-2.0-or-later
// The command line and the pass over each directory, run end to end.
#include "certgen.h"
#include "qktest.h"
#include "vexlink_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using vxtest::entries;
using vxtest::hex8;
using vxtest::nameHash;
using vxtest::vexlink;

namespace {

const char usageText[] = "usage: vexlink [options...] [--] [dirs...]\n"
                         "options:\n"
                         "    -certonly  rehash only certificates\n"
                         "    -crlonly   rehash only CRLs\n"
                         "    -version   print version\n"
                         "    -help      print this help\n"
                         "    -h         print this help\n"
                         "    -v         verbose warnings\n";

// A directory with one certificate and a stale link, so that any pass over
// it shows: the stale entry goes and a new link appears.
struct CertDir
{
    explicit CertDir(const std::string &cn = "Test Root")
        : link(hex8(nameHash(cn)) + ".0")
    {
        qk::writeFile(dir.file("ca.pem"), vxtest::certPem(cn, cn));
        qk::writeFile(dir.file("00000000.0"), "stale");
    }
    bool untouched() const
    {
        return entries(dir.path()) == std::vector<std::string> {"00000000.0", "ca.pem"};
    }
    bool processed() const
    {
        return entries(dir.path()) == std::vector<std::string> {link, "ca.pem"};
    }
    qk::TempDir dir;
    std::string link;
};

TEST(Options, ActInOrderAndStopBeforeAnyDirectory)
{
    CertDir d;
    const std::string dir = d.dir.path();
    const std::string badBogus = "Bad option -bogus; try vexlink -h\n";
    const std::string exclusive = "-certonly and -crlonly are mutually exclusive\n";
    struct Case
    {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    } cases[] = {
        {{"-version", dir}, 0, "vexlink 1.1\n", ""},
        {{"-version", "-bogus"}, 0, "vexlink 1.1\n", ""},
        {{"-bogus", "-version"}, 1, "", badBogus},
        {{"-help", dir}, 0, usageText, ""},
        {{"-h"}, 0, usageText, ""},
        {{"-v", "-h", dir}, 0, usageText, ""},
        {{"-"}, 1, "", "Bad option -; try vexlink -h\n"},
        {{"-V", dir}, 1, "", "Bad option -V; try vexlink -h\n"}, // case matters
        {{"--help"}, 1, "", "Bad option --help; try vexlink -h\n"},
        {{"-certonlyx", dir}, 1, "", "Bad option -certonlyx; try vexlink -h\n"},
        {{"-certonly", "-crlonly", dir}, 1, "", exclusive},
        {{"-crlonly", "-v", "-certonly", dir}, 1, "", exclusive},
        {{"-certonly", "-crlonly", "-version"}, 0, "vexlink 1.1\n", ""},
        {{"-certonly", "-bogus", "-crlonly"}, 1, "", badBogus},
    };
    for (const auto &c : cases) {
        std::string what = ::testing::PrintToString(c.args);
        auto r = vexlink(c.args);
        EXPECT_EQ(r.status, c.status) << what;
        EXPECT_EQ(r.out, c.out) << what;
        EXPECT_EQ(r.err, c.err) << what;
        EXPECT_TRUE(d.untouched()) << what;
    }
}

TEST(Options, EverythingAfterTheFirstDirectoryIsADirectory)
{
    qk::TempDir work;
    CertDir first, dashV, odd;
    ASSERT_EQ(rename(dashV.dir.path().c_str(), work.file("-v").c_str()), 0);
    ASSERT_EQ(rename(odd.dir.path().c_str(), work.file("-odd").c_str()), 0);
    ASSERT_EQ(mkdir(dashV.dir.path().c_str(), 0700), 0); // for the TempDirs' cleanup
    ASSERT_EQ(mkdir(odd.dir.path().c_str(), 0700), 0);
    qk::RunOptions o;
    o.cwd = work.path();

    auto r = vexlink({first.dir.path(), "-v"}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "") << "-v after a directory is no option";
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(first.processed());
    EXPECT_EQ(entries(work.file("-v")), (std::vector<std::string> {dashV.link, "ca.pem"}));

    r = vexlink({"--", "-odd"}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(entries(work.file("-odd")), (std::vector<std::string> {odd.link, "ca.pem"}));
}

TEST(Options, DoubleDashAloneLeavesTheDirectoriesToTheVariable)
{
    CertDir d("Dash Root");
    qk::RunOptions o;
    o.env["SSL_CERT_DIR"] = d.dir.path();
    auto r = vexlink({"-v", "--"}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Doing " + d.dir.path() + "\nca.pem => " + d.link + "\n");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(d.processed());
}

TEST(DirectoryPass, VerboseTraceNamesTheDirectoryAndEachFilesLinks)
{
    CertDir d("Trace Root");
    auto r = vexlink({"-v", d.dir.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Doing " + d.dir.path() + "\nca.pem => " + d.link + "\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(vxtest::linkTarget(d.dir.file(d.link)), "ca.pem");
}

TEST(DirectoryPass, TraceHasALineForEveryFileAlsoWithoutLinks)
{
    qk::TempDir dir;
    const std::string both = hex8(nameHash("Both Root")), only = hex8(nameHash("Only Root"));
    const std::string cert = vxtest::certPem("Both Root", "Both Root");
    qk::writeFile(dir.file("both.pem"), cert + vxtest::crlPem("Both Root"));
    qk::writeFile(dir.file("again.pem"), cert); // a duplicate: no link
    qk::writeFile(dir.file("crl.pem"), vxtest::crlPem("Only Root"));
    qk::writeFile(dir.file("empty.pem"), "");
    qk::writeFile(dir.file("text.crt"), "no PEM block here\n");
    // The links each file gets, per option; the duplicate is whichever of
    // both.pem and again.pem the directory lists second.
    const auto listing = vxtest::pemListing(dir.path());
    const bool againFirst = std::find(listing.begin(), listing.end(), "again.pem")
        < std::find(listing.begin(), listing.end(), "both.pem");
    const std::string first = againFirst ? "again.pem" : "both.pem";
    const std::string second = againFirst ? "both.pem" : "again.pem";
    const std::string duplicate = "WARNING: Skiping duplicate certificate " + second + "\n";
    struct Case
    {
        std::string option;
        std::map<std::string, std::string> links;
        std::string err;
    } cases[] = {
        {"",
         {{first, " " + both + ".0"},
          {"both.pem", " " + both + ".r0"},
          {"crl.pem", " " + only + ".r0"}},
         duplicate},
        {"-certonly", {{first, " " + both + ".0"}}, duplicate},
        {"-crlonly", {{"both.pem", " " + both + ".r0"}, {"crl.pem", " " + only + ".r0"}}, ""},
    };
    for (auto &c : cases) {
        std::string trace = "Doing " + dir.path() + "\n";
        for (const auto &file : listing) {
            trace += file + " =>" + c.links[file] + "\n";
        }
        std::vector<std::string> args {"-v", dir.path()};
        if (!c.option.empty()) {
            args.insert(args.begin(), c.option);
        }
        auto r = vexlink(args);
        EXPECT_EQ(r.status, 0) << c.option;
        EXPECT_EQ(r.out, trace) << c.option;
        EXPECT_EQ(r.err, c.err) << c.option;
    }
}

TEST(DirectoryPass, UnreadableDirectoryIsReportedAndPassedOver)
{
    CertDir locked("Locked Root"), after("After Root");
    ASSERT_EQ(chmod(locked.dir.path().c_str(), 0700), 0); // root's, closed to nobody
    ASSERT_EQ(chmod(after.dir.path().c_str(), 0777), 0);
    qk::RunOptions o;
    o.dropPrivileges = true;
    auto r = vexlink({"-v", locked.dir.path(), after.dir.path()}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "Doing " + locked.dir.path() + "\nDoing " + after.dir.path() + "\nca.pem => "
                  + after.link + "\n");
    EXPECT_EQ(r.err, locked.dir.path() + ": Permission denied\n");
    EXPECT_TRUE(locked.untouched());
    EXPECT_TRUE(after.processed());
}

TEST(DirectoryPass, MissingDirectoryIsReportedAndPassedOver)
{
    qk::TempDir work;
    CertDir after;
    std::string missing = work.file("missing");
    auto r = vexlink({missing, after.dir.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, missing + ": No such file or directory\n");
    EXPECT_TRUE(after.processed());

    qk::writeFile(work.file("plain"), "not a directory");
    r = vexlink({work.file("plain")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, work.file("plain") + ": Not a directory\n");

    r = vexlink({""});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "No such file or directory\n") << "no name, no colon";
}

TEST(DirectoryPass, SslCertDirListsTheDirectoriesWhenNoneIsGiven)
{
    CertDir a, b, arg;
    const std::string A = a.dir.path(), B = b.dir.path();
    const std::string doneA = "Doing " + A + "\nca.pem => " + a.link + "\n";
    const std::string doneB = "Doing " + B + "\nca.pem => " + b.link + "\n";
    struct Case
    {
        std::string value, out, err;
    } cases[] = {
        {A + ":" + B, doneA + doneB, ""},
        {B + ":" + A, doneB + doneA, ""},
        {A + ":", doneA, ""},
        {"/:" + B, doneB, ""}, // one-character element passed over
        // The separator after another is the first character of ":B".
        {A + "::" + B, doneA + "Doing :" + B + "\n", ":" + B + ": No such file or directory\n"},
        {"/", "", ""},
        {":::", "", ""},
    };
    for (const auto &c : cases) {
        qk::RunOptions o;
        o.env["SSL_CERT_DIR"] = c.value;
        auto r = vexlink({"-v"}, o);
        EXPECT_EQ(r.status, 0) << c.value;
        EXPECT_EQ(r.out, c.out) << c.value;
        EXPECT_EQ(r.err, c.err) << c.value;
    }
    // A directory argument wins over the variable.
    qk::RunOptions o;
    o.env["SSL_CERT_DIR"] = A + ":" + B;
    ASSERT_EQ(rename(a.dir.file(a.link).c_str(), a.dir.file("00000000.0").c_str()), 0);
    auto r = vexlink({arg.dir.path()}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(arg.processed());
    EXPECT_TRUE(a.untouched());
}

TEST(DirectoryPass, DefaultDirectoryWhenTheVariableIsUnsetOrEmpty)
{
    if (!qk::canUseMountNamespace()) {
        GTEST_SKIP() << "needs root and mount namespaces";
    }
    CertDir d("Default Root");
    for (bool empty : {false, true}) {
        qk::RunOptions o;
        o.binds = {{d.dir.path(), "/etc/ssl/certs"}};
        if (empty) {
            o.env["SSL_CERT_DIR"] = "";
        } else {
            o.unsetEnv.push_back("SSL_CERT_DIR");
        }
        auto r = vexlink({"-v"}, o);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "Doing /etc/ssl/certs\nca.pem => " + d.link + "\n");
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(d.processed());
        ASSERT_EQ(rename(d.dir.file(d.link).c_str(), d.dir.file("00000000.0").c_str()), 0);
    }
}

TEST(DirectoryPass, ReadsAndDeletesOnlyTheNamesOfTheSelectedKinds)
{
    const std::string cn = "Kinds Root";
    const std::string h = hex8(nameHash(cn));
    const std::string cert = vxtest::certPem(cn, cn);
    const std::string crl = vxtest::crlPem(cn);
    // Entries that are never read nor deleted.
    const std::vector<std::string> others {
        "a.PEM", "b.der", ".pem", "0123abcd.0x", "0123abcd.r", "0123abc.0", "0123abcdx0"};
    struct Case
    {
        std::vector<std::string> options;
        std::vector<std::string> remaining; // besides x.crt and the others
    } cases[] = {
        {{}, {h + ".0", h + ".r0"}},
        {{"-certonly"}, {h + ".0", "0123abcd.r0"}},
        {{"-crlonly"}, {"1a2b3c4d.0", "1A2B3C4D.5", h + ".r0"}},
    };
    for (const auto &c : cases) {
        qk::TempDir dir;
        for (const auto &name : others) {
            qk::writeFile(dir.file(name), cert + crl);
        }
        qk::writeFile(dir.file("x.crt"), cert + crl);
        qk::writeFile(dir.file("1a2b3c4d.0"), "regular file, not a link");
        ASSERT_EQ(symlink("x.crt", dir.file("1A2B3C4D.5").c_str()), 0);
        ASSERT_EQ(symlink("x.crt", dir.file("0123abcd.r0").c_str()), 0);
        std::vector<std::string> args = c.options;
        args.push_back(dir.path());
        auto r = vexlink(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        std::vector<std::string> want = c.remaining;
        want.insert(want.end(), others.begin(), others.end());
        want.push_back("x.crt");
        std::sort(want.begin(), want.end());
        EXPECT_EQ(entries(dir.path()), want) << ::testing::PrintToString(c.options);
    }
}

TEST(DirectoryPass, UndeletableOldLinkIsReportedAndTheRunGoesOn)
{
    CertDir d("Blocked Root");
    ASSERT_EQ(mkdir(d.dir.file(d.link).c_str(), 0755), 0);
    auto r = vexlink({d.dir.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, d.link + ": Is a directory\n" + d.link + ": File exists\n");
    EXPECT_EQ(entries(d.dir.path()), (std::vector<std::string> {d.link, "ca.pem"}));
}

TEST(Names, ControlBytesAreWrittenAsOctalEscapesInEveryLineThatNamesThem)
{
    const std::string h = hex8(nameHash("Named Root"));
    const std::string cert = vxtest::certPem("Named Root", "Named Root");
    struct Case
    {
        std::string name, written;
    } cases[] = {
        {"esc\x1b[2J\x1b]0;title\x07", "esc\\033[2J\\033]0;title\\007"},
        {"nl\ncr\rtab\t", "nl\\012cr\\015tab\\011"},
        {"\x01"
         "first and last\x1f",
         "\\001first and last\\037"},
        {"del\x7f", "del\\177"},
        {"Zertifikat \xc3\xa4\xc3\xb6\xc3\xbc \xe2\x82\xac",
         "Zertifikat \xc3\xa4\xc3\xb6\xc3\xbc \xe2\x82\xac"}, // UTF-8 as is
        {"back\\slash ~!\x20", "back\\slash ~!\x20"}, // ordinary bytes as is
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.written);
        qk::TempDir work;
        const std::string dir = work.file("d-" + c.name), dirWritten = work.file("d-" + c.written);
        const std::string missing = work.file("m-" + c.name);
        ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
        // The certificate twice, for the duplicate warning; a dangling link,
        // for an error line.
        qk::writeFile(dir + "/" + c.name + ".pem", cert + cert);
        ASSERT_EQ(symlink("nowhere", (dir + "/" + c.name + "-gone.pem").c_str()), 0);
        std::string out = "Doing " + dirWritten + "\n", err;
        for (const auto &file : vxtest::pemListing(dir)) {
            if (file == c.name + ".pem") {
                out += c.written + ".pem => " + h + ".0\n";
                err += "WARNING: Skiping duplicate certificate " + c.written + ".pem\n";
            } else {
                out += c.written + "-gone.pem =>\n";
                const std::string gone
                    = dirWritten + "/" + c.written + "-gone.pem: No such file or directory\n";
                err += gone + gone; // once per kind
            }
        }
        out += "Doing " + work.file("m-" + c.written) + "\n";
        err += work.file("m-" + c.written) + ": No such file or directory\n";
        auto r = vexlink({"-v", dir, missing});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, out);
        EXPECT_EQ(r.err, err);

        r = vexlink({"-" + c.name, dir});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "Bad option -" + c.written + "; try vexlink -h\n");
    }
}

} // namespace
