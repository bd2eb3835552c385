// SPDX-License-Identifier: GPL-2.0-or-later
#include "transfer.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "fileutil.h"
#include "qktest.h"

namespace {

const std::string prog = PROBE_PATH;

qk::RunResult transfer(std::vector<std::string> args, qk::RunOptions options = {})
{
    options.env["LC_ALL"] = "C";
    options.unsetEnv.push_back("LANGUAGE");
    args.insert(args.begin(), {prog, "transfer"});
    return qk::run(args, options);
}

qk::RunOptions traced()
{
    qk::RunOptions options;
    options.env["PROBE_TRACE"] = "1";
    return options;
}

std::string repeat(const std::string &lines, int times)
{
    std::string all;
    for (int i = 0; i < times; ++i)
        all += lines;
    return all;
}

std::string pattern(size_t size)
{
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    return data;
}

// A file of the given size holding data only in the given blocks of 4 KiB;
// zeroBlocks are written as explicit zeros.
void makeSparse(const std::string &path, off_t size, const std::vector<off_t> &dataBlocks,
                const std::vector<off_t> &zeroBlocks = {})
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path;
    std::string block = pattern(4096);
    std::string zeros(4096, '\0');
    for (off_t b : dataBlocks)
        ASSERT_EQ(pwrite(fd, block.data(), 4096, b * 4096), 4096);
    for (off_t b : zeroBlocks)
        ASSERT_EQ(pwrite(fd, zeros.data(), 4096, b * 4096), 4096);
    ASSERT_EQ(ftruncate(fd, size), 0);
    ASSERT_EQ(close(fd), 0);
}

struct stat statOf(const std::string &path)
{
    struct stat st
    {
    };
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return st;
}

bool blockSizesAre4096(const std::string &dir)
{
    return statOf(dir).st_blksize == 4096;
}

TEST(Transfer, EmptySourceCostsNoRead)
{
    qk::TempDir dir;
    qk::writeFile(dir.file("src"), "", 0755);
    qk::RunResult r = transfer({dir.file("src"), dir.file("dst")}, traced());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    struct stat st = statOf(dir.file("dst"));
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_size, 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST(Transfer, SmallRegularFilesAreReadWithTheRoundedBuffer)
{
    qk::TempDir dir;
    if (!blockSizesAre4096(dir.path()))
        GTEST_SKIP() << "needs 4096-byte blocks";
    struct Case
    {
        size_t size;
        std::string reads;
    } cases[] = {
        {1, "read 4096 -> 1\n"},
        {100, "read 4096 -> 100\n"}, // short read ends the loop
        {4095, "read 4096 -> 4095\n"},
        {4096, "read 8192 -> 4096\n"}, // size + 1 rounds up to two blocks
        {5000, "read 8192 -> 5000\n"},
        {8192, "read 8192 -> 8192\nread 8192 -> 0\n"},
        {10000, "read 8192 -> 8192\nread 8192 -> 1808\n"},
    };
    for (const Case &c : cases) {
        std::string src = dir.file("src" + std::to_string(c.size));
        std::string dst = dir.file("dst" + std::to_string(c.size));
        std::string data = pattern(c.size);
        qk::writeFile(src, data);
        qk::RunResult r = transfer({src, dst}, traced());
        EXPECT_EQ(r.status, 0) << c.size << ": " << r.err;
        EXPECT_EQ(r.out, c.reads) << c.size;
        EXPECT_EQ(qk::readFile(dst), data) << c.size;
    }
}

TEST(Transfer, SourceThatIsOneHoleGivesADestinationWithoutDataBlocks)
{
    qk::TempDir dir;
    if (!blockSizesAre4096(dir.path()))
        GTEST_SKIP() << "needs 4096-byte blocks";
    makeSparse(dir.file("src"), 1 << 20, {});
    qk::RunResult r = transfer({dir.file("src"), dir.file("dst")}, traced());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              repeat("read 4096 -> 4096\nlseek 4096 1\n", 256)
                  + "read 4096 -> 0\nftruncate 1048576\n");
    struct stat st = statOf(dir.file("dst"));
    EXPECT_EQ(st.st_size, 1 << 20);
    EXPECT_EQ(st.st_blocks, 0);
    EXPECT_EQ(qk::readFile(dir.file("dst")), std::string(1 << 20, '\0'));
}

TEST(Transfer, TrailingZeroBlockBecomesASeekAndALengthAdjustment)
{
    qk::TempDir dir;
    if (!blockSizesAre4096(dir.path()))
        GTEST_SKIP() << "needs 4096-byte blocks";
    // data in block 0 and 3, a hole in 1 and 2, written zeros in block 4
    makeSparse(dir.file("src"), 5 * 4096, {0, 3}, {4});
    qk::RunResult r = transfer({dir.file("src"), dir.file("dst")}, traced());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "read 4096 -> 4096\n"
              "read 4096 -> 4096\nlseek 4096 1\n"
              "read 4096 -> 4096\nlseek 4096 1\n"
              "read 4096 -> 4096\n"
              "read 4096 -> 4096\nlseek 4096 1\n"
              "read 4096 -> 0\nftruncate 20480\n");
    EXPECT_EQ(qk::readFile(dir.file("dst")), qk::readFile(dir.file("src")));

    int fd = open(dir.file("dst").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(lseek(fd, 0, SEEK_HOLE), 4096);
    EXPECT_EQ(lseek(fd, 4096, SEEK_DATA), 3 * 4096);
    EXPECT_EQ(lseek(fd, 4 * 4096, SEEK_DATA), -1); // the last block is a hole
    EXPECT_EQ(errno, ENXIO);
    close(fd);
}

TEST(Transfer, ZeroTestFindsASingleNonZeroByteAnywhere)
{
    qk::TempDir dir;
    if (!blockSizesAre4096(dir.path()))
        GTEST_SKIP() << "needs 4096-byte blocks";
    const std::string hole = "read 4096 -> 4096\nlseek 4096 1\n";
    for (size_t at : {0, 1, 3, 4, 255, 256, 511, 512, 4092, 4095}) {
        std::string data(3 * 4096 + 100, '\0');
        data[4096 + at] = 'x';
        std::string src = dir.file("src" + std::to_string(at));
        std::string dst = dir.file("dst" + std::to_string(at));
        qk::writeFile(src, data);
        qk::RunResult r = transfer({"--sparse=3", src, dst}, traced());
        EXPECT_EQ(r.status, 0) << r.err;
        // the short zero chunk at the end is a hole too
        EXPECT_EQ(r.out,
                  hole + "read 4096 -> 4096\n" + hole
                      + "read 4096 -> 100\nlseek 100 1\nread 4096 -> 0\nftruncate 12388\n")
            << "non-zero byte at " << at;
        EXPECT_EQ(qk::readFile(dst), data) << at;
    }
}

TEST(Transfer, SparseModeDecidesWhetherHolesAreMade)
{
    qk::TempDir dir;
    if (!blockSizesAre4096(dir.path()))
        GTEST_SKIP() << "needs 4096-byte blocks";
    makeSparse(dir.file("sparse"), 64 * 4096, {10});
    makeSparse(
        dir.file("zeros"), 16 * 4096, {}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
    struct Case
    {
        const char *source;
        const char *mode;
        bool holes;
    } cases[] = {
        {"sparse", "--sparse=2", true},
        {"sparse", "--sparse=1", false},
        {"zeros", "--sparse=2", false}, // a source without holes is copied whole
        {"zeros", "--sparse=3", true},
    };
    int n = 0;
    for (const Case &c : cases) {
        std::string dst = dir.file("dst" + std::to_string(n++));
        qk::RunResult r = transfer({c.mode, dir.file(c.source), dst});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(qk::readFile(dst), qk::readFile(dir.file(c.source))) << c.source << c.mode;
        struct stat st = statOf(dst);
        if (c.holes)
            EXPECT_LE(st.st_blocks, 8) << c.source << " " << c.mode;
        else
            EXPECT_GE(st.st_blocks, st.st_size / 512) << c.source << " " << c.mode;
    }
}

TEST(Transfer, PipeSourceIsReadUntilEndOfFile)
{
    qk::TempDir dir;
    std::string data = pattern(100000);
    qk::RunOptions options = traced();
    options.input = data;
    qk::RunResult r = transfer({"/dev/stdin", dir.file("dst")}, options);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(qk::readFile(dir.file("dst")), data);
    struct stat st = statOf(dir.file("dst"));
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    // every read asks for at least 8 KiB; only the last one returns 0
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(r.out.substr(at, end - at));
    ASSERT_GE(lines.size(), 2u) << r.out;
    size_t requested = 0;
    for (const std::string &line : lines) {
        ASSERT_EQ(sscanf(line.c_str(), "read %zu", &requested), 1) << line;
        EXPECT_GE(requested, 8192u) << line;
        EXPECT_EQ(requested % 4096, 0u) << line;
    }
    EXPECT_EQ(lines.back().substr(lines.back().find("->")), "-> 0");
}

TEST(Transfer, CharacterDeviceSourceGivesARegularFile)
{
    qk::TempDir dir;
    qk::RunResult r = transfer({"/dev/null", dir.file("dst")}, traced());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("read "), 0u) << r.out;
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << "one read: " << r.out;
    struct stat st = statOf(dir.file("dst"));
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_size, 0);
}

TEST(Transfer, InterruptedAndPartialCallsAreRepeated)
{
    qk::TempDir dir;
    std::string data = pattern(300000);
    qk::writeFile(dir.file("src"), data);
    struct Case
    {
        std::map<std::string, std::string> env;
    } cases[] = {
        {{{"PROBE_READ_EINTR", "3"}}},
        {{{"PROBE_WRITE_EINTR", "3"}}},
        {{{"PROBE_WRITE_MAX", "1000"}}},
        {{{"PROBE_READ_EINTR", "1"}, {"PROBE_WRITE_EINTR", "2"}, {"PROBE_WRITE_MAX", "777"}}},
    };
    int n = 0;
    for (const Case &c : cases) {
        qk::RunOptions options;
        options.env = c.env;
        std::string dst = dir.file("dst" + std::to_string(n++));
        qk::RunResult r = transfer({dir.file("src"), dst}, options);
        EXPECT_EQ(r.status, 0) << n << ": " << r.err;
        EXPECT_EQ(r.err, "") << n;
        EXPECT_EQ(qk::readFile(dst), data) << n;
    }
}

TEST(Transfer, WriteWithoutProgressIsReportedAsNoSpace)
{
    qk::TempDir dir;
    qk::writeFile(dir.file("src"), "some data");
    qk::RunOptions options;
    options.env["PROBE_WRITE_STALL"] = "1";
    qk::RunResult r = transfer({dir.file("src"), dir.file("dst")}, options);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, prog + ": writing `" + dir.file("dst") + "': No space left on device\n");
}

TEST(Transfer, FullDiskIsAFailure)
{
    if (!qk::canUseMountNamespace())
        GTEST_SKIP() << "needs a mount namespace";
    qk::TempDir dir;
    qk::TempDir small;
    qk::writeFile(dir.file("src"), pattern(1 << 20), 0777);
    qk::RunOptions options;
    std::string mountPoint = small.path();
    options.privateMounts = true;
    options.prepare = [mountPoint] {
        if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
            _exit(127);
    };
    qk::RunResult r = transfer({"--report", dir.file("src"), small.file("dst")}, options);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, prog + ": writing `" + small.file("dst") + "': No space left on device\n");
    // the half-written file was never open to others
    ASSERT_EQ(r.out.substr(0, 10), "mode 0600 ") << r.out;
}

TEST(Transfer, AclRefusalFallsBackToFchmod)
{
    qk::TempDir dir;
    qk::writeFile(dir.file("src"), "data", 0755);
    struct Case
    {
        int aclErrno;
        int fchmodErrno;
        int status;
        const char *err; // after "PROG: setting permissions for `DST': "
    } cases[] = {
        {ENOTSUP, 0, 0, nullptr},
        {ENOSYS, 0, 0, nullptr},
        {EINVAL, 0, 0, nullptr},
        {EPERM, 0, 1, "Operation not permitted"}, // no fallback
        {EIO, 0, 1, "Input/output error"},
        {ENOTSUP, EROFS, 1, "Read-only file system"}, // the fallback's error
    };
    int n = 0;
    for (const Case &c : cases) {
        std::string dst = dir.file("dst" + std::to_string(n++));
        qk::RunOptions options = traced();
        options.env["PROBE_ACL_ERRNO"] = std::to_string(c.aclErrno);
        if (c.fchmodErrno)
            options.env["PROBE_FCHMOD_ERRNO"] = std::to_string(c.fchmodErrno);
        qk::RunResult r = transfer({dir.file("src"), dst}, options);
        EXPECT_EQ(r.status, c.status) << strerror(c.aclErrno);
        if (c.err) {
            EXPECT_EQ(r.err, prog + ": setting permissions for `" + dst + "': " + c.err + "\n");
        } else {
            EXPECT_EQ(r.err, "");
            EXPECT_NE(r.out.find("fchmod 600\n"), std::string::npos) << r.out;
            EXPECT_EQ(statOf(dst).st_mode & 07777, 0600u);
        }
    }
}

TEST(Transfer, FileSystemWithoutAclsGetsTheModeByFchmod)
{
    if (!qk::canUseMountNamespace())
        GTEST_SKIP() << "needs a mount namespace";
    qk::TempDir dir;
    qk::TempDir plain;
    qk::writeFile(dir.file("src"), "data", 0644);
    qk::RunOptions options = traced();
    std::string mountPoint = plain.path();
    // ramfs keeps no extended attributes, so it refuses access ACLs
    options.privateMounts = true;
    options.prepare = [mountPoint] {
        if (mount("ramfs", mountPoint.c_str(), "ramfs", 0, nullptr) != 0)
            _exit(127);
    };
    qk::RunResult r = transfer({"--report", dir.file("src"), plain.file("dst")}, options);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.substr(0, r.out.find("blocks")),
              "read 4096 -> 4\nfchmod 600\nmode 0600 size 4 ");
}

TEST(Transfer, FailingSystemCallsAreReported)
{
    qk::TempDir dir;
    qk::writeFile(dir.file("src"), "data");
    makeSparse(dir.file("sparse"), 8192, {});
    const std::string src = dir.file("src"), sparse = dir.file("sparse");
    const std::string eio = std::to_string(EIO);
    struct Case
    {
        std::string source;
        std::map<std::string, std::string> env;
        bool keepTimes;
        int status;
        std::string err; // "DST" and "SRC" stand for the quoted names
    } cases[] = {
        {src, {{"PROBE_FSTAT_FAIL", "1"}}, false, 1, "cannot fstat SRC: Input/output error\n"},
        {src, {{"PROBE_FSTAT_FAIL", "2"}}, false, 1, "cannot fstat DST: Input/output error\n"},
        {src, {{"PROBE_READ_ERRNO", eio}}, false, 1, "reading SRC: Input/output error\n"},
        {sparse, {{"PROBE_LSEEK_ERRNO", eio}}, false, 1, "cannot lseek DST: Input/output error\n"},
        {sparse,
         {{"PROBE_FTRUNCATE_ERRNO", std::to_string(EFBIG)}},
         false,
         1,
         "writing DST: File too large\n"},
        // times that cannot be kept do not fail the copy
        {src,
         {{"PROBE_TIMES_ERRNO", std::to_string(EPERM)}},
         true,
         0,
         "preserving times for DST: Operation not permitted\n"},
        {src,
         {{"PROBE_CLOSE_ERRNO", eio}},
         false,
         1,
         "closing DST: Input/output error\nclosing SRC: Input/output error\n"},
    };
    int n = 0;
    for (const Case &c : cases) {
        std::string dst = dir.file("dst" + std::to_string(n++));
        qk::RunOptions options;
        options.env = c.env;
        std::vector<std::string> args = {c.source, dst};
        if (c.keepTimes)
            args.insert(args.begin(), "--keep-times");
        qk::RunResult r = transfer(args, options);
        std::string expected;
        for (size_t at = 0, end; (end = c.err.find('\n', at)) != std::string::npos; at = end + 1) {
            std::string line = c.err.substr(at, end - at + 1);
            for (auto [mark, name] : {std::pair {"SRC", c.source}, std::pair {"DST", dst}})
                if (size_t p = line.find(mark); p != std::string::npos)
                    line.replace(p, 3, "`" + name + "'");
            expected += prog + ": " + line;
        }
        EXPECT_EQ(r.status, c.status) << c.env.begin()->first;
        EXPECT_EQ(r.err, expected) << c.env.begin()->first;
    }
}

TEST(Transfer, SourceReplacedAfterItsStatIsSkipped)
{
    qk::TempDir dir;
    qk::writeFile(dir.file("src"), "old");
    qk::writeFile(dir.file("other"), "new");
    qk::RunResult r
        = transfer({"--replace=" + dir.file("other"), dir.file("src"), dir.file("dst")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              prog + ": skipping file `" + dir.file("src")
                  + "', as it was replaced while being copied\n");
    EXPECT_NE(access(dir.file("dst").c_str(), F_OK), 0);
}

TEST(Transfer, ExistingDestinationIsNeverOverwritten)
{
    qk::TempDir dir;
    qk::writeFile(dir.file("src"), "data");
    qk::writeFile(dir.file("file"), "kept");
    ASSERT_EQ(symlink(dir.file("nowhere").c_str(), dir.file("dangling").c_str()), 0);
    ASSERT_EQ(symlink(dir.file("file").c_str(), dir.file("link").c_str()), 0);
    ASSERT_EQ(mkdir(dir.file("dir").c_str(), 0755), 0);
    for (const char *name : {"file", "dangling", "link", "dir"}) {
        qk::RunResult r = transfer({dir.file("src"), dir.file(name)});
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.err,
                  prog + ": cannot create regular file `" + dir.file(name) + "': File exists\n")
            << name;
    }
    EXPECT_EQ(qk::readFile(dir.file("file")), "kept");
    EXPECT_NE(access(dir.file("nowhere").c_str(), F_OK), 0); // the link was not followed
}

TEST(Transfer, UnreadableSourcesAreReported)
{
    qk::TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    qk::writeFile(dir.file("secret"), "data", 0600);
    ASSERT_EQ(mkdir(dir.file("dir").c_str(), 0755), 0);

    qk::RunOptions asNobody;
    asNobody.dropPrivileges = true;
    qk::RunResult r = transfer({dir.file("secret"), dir.file("dst1")}, asNobody);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              prog + ": cannot open `" + dir.file("secret") + "' for reading: Permission denied\n");
    EXPECT_NE(access(dir.file("dst1").c_str(), F_OK), 0);

    r = transfer({dir.file("dir"), dir.file("dst2")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, prog + ": reading `" + dir.file("dir") + "': Is a directory\n");
}

TEST(Transfer, KeepTimesGivesTheSourceTimesToMicroseconds)
{
    qk::TempDir dir;
    qk::writeFile(dir.file("src"), "data");
    struct timespec times[2] = {{1000000000, 123456789}, {1200000000, 987654321}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir.file("src").c_str(), times, 0), 0);

    qk::RunResult r = transfer({"--keep-times", dir.file("src"), dir.file("kept")});
    EXPECT_EQ(r.status, 0) << r.err;
    struct stat st = statOf(dir.file("kept"));
    EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_atim.tv_nsec, 123456000);
    EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 987654000);

    r = transfer({dir.file("src"), dir.file("fresh")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_GT(statOf(dir.file("fresh")).st_mtim.tv_sec, 1200000000);
}

TEST(SetTimes, ByDescriptorAndByNameWithoutFollowingALink)
{
    qk::TempDir dir;
    qk::writeFile(dir.file("f"), "");
    const struct timespec times[2] = {{2000000000, 999999}, {3000000000LL, 5000}};
    auto check = [&](const char *what) {
        struct stat st = statOf(dir.file("f"));
        EXPECT_EQ(st.st_atim.tv_sec, 2000000000) << what;
        EXPECT_EQ(st.st_atim.tv_nsec, 999000) << what;
        EXPECT_EQ(st.st_mtim.tv_sec, 3000000000LL) << what; // beyond 2038
        EXPECT_EQ(st.st_mtim.tv_nsec, 5000) << what;
    };

    int fd = open(dir.file("f").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(set_times_fd(fd, "/nonexistent", times), 0);
    close(fd);
    check("descriptor");

    ASSERT_EQ(utimensat(AT_FDCWD, dir.file("f").c_str(), nullptr, 0), 0);
    EXPECT_EQ(set_times_fd(-1, dir.file("f").c_str(), times), 0);
    check("fallback to the name");

    // a link swapped in for the name gets the times, not what it points to
    ASSERT_EQ(utimensat(AT_FDCWD, dir.file("f").c_str(), nullptr, 0), 0);
    ASSERT_EQ(symlink("f", dir.file("link").c_str()), 0);
    EXPECT_EQ(set_times_fd(-1, dir.file("link").c_str(), times), 0);
    EXPECT_GT(statOf(dir.file("f")).st_mtim.tv_sec, 1200000000);
    EXPECT_LT(statOf(dir.file("f")).st_mtim.tv_sec, 2000000000);
    EXPECT_EQ(statOf(dir.file("link")).st_mtim.tv_sec, 3000000000LL);

    errno = 0;
    EXPECT_EQ(set_times_fd(-1, dir.file("missing").c_str(), times), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST(OpenNotStd, NeverReturnsAStandardDescriptor)
{
    qk::TempDir dir;
    int saved = dup(STDIN_FILENO);
    ASSERT_GE(saved, 0);
    ASSERT_EQ(close(STDIN_FILENO), 0);
    int fd = open_not_std("/dev/null", O_RDONLY, 0);
    bool stdinStillClosed = fcntl(STDIN_FILENO, F_GETFD) == -1;
    int created
        = open_not_std(dir.file("new").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0640);
    int createdFlags = fcntl(created, F_GETFD);
    ASSERT_EQ(dup2(saved, STDIN_FILENO), STDIN_FILENO);
    close(saved);

    EXPECT_GE(fd, 3);
    EXPECT_TRUE(stdinStillClosed);
    EXPECT_GE(created, 3);
    EXPECT_TRUE(createdFlags & FD_CLOEXEC);
    EXPECT_EQ(statOf(dir.file("new")).st_mode & 0777 & ~0022, 0640u & ~0022u);
    close(fd);
    close(created);

    errno = 0;
    EXPECT_EQ(open_not_std(dir.file("new").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600), -1);
    EXPECT_EQ(errno, EEXIST);
}

} // namespace

namespace {

TEST(Transfer, MessagesAreTranslated)
{
    if (!qk::canUseMountNamespace())
        GTEST_SKIP() << "needs a private mount namespace for the built catalog";
    qk::TempDir dir;
    qk::writeFile(dir.file("src"), "old");
    qk::writeFile(dir.file("other"), "new");
    qk::RunOptions german;
    german.env["LC_ALL"] = "de_DE.UTF-8";
    german.binds = {{LOCALE_DIR, "/usr/share/locale"}};
    german.unsetEnv.push_back("LANGUAGE");
    qk::RunResult r = qk::run(
        {prog, "transfer", "--replace=" + dir.file("other"), dir.file("src"), dir.file("dst")},
        german);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              prog + ": Datei „" + dir.file("src")
                  + "“ wird übersprungen, da sie während des Kopierens ersetzt wurde\n");
}

} // namespace
