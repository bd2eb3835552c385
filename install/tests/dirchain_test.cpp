// SPDX-License-Identifier: GPL-2.0-or-later
// Directory chains, the saved working directory, the table of created names
// and same_entry, driven in-process.
#include "dirchain.h"

#include "copy.h"
#include "qktest.h"
#include "savewd.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <climits>
#include <string>
#include <vector>

static_assert(sizeof(copy_options::backup_type) == 4 && sizeof(copy_options::follow_links) == 4
                  && sizeof(copy_options::prompting) == 4 && sizeof(copy_options::forced_mode) == 4
                  && sizeof(copy_options::sparse_mode) == 4,
              "32-bit option fields");
static_assert(sizeof(savewd::state) == 4 && sizeof(savewd::val) == 4, "32-bit state and value");
static_assert(sizeof(ino_t) == 8 && sizeof(dev_t) == 8 && sizeof(off_t) == 8,
              "64-bit file numbers and offsets on either width");

namespace {

std::string cwd()
{
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? buf : "";
}

// Runs the body in dir and comes back to the test's working directory.
class InDirectory : public ::testing::Test
{
protected:
    qk::TempDir tmp;
    std::string start = cwd();

    void SetUp() override { ASSERT_EQ(chdir(tmp.path().c_str()), 0); }
    void TearDown() override { ASSERT_EQ(chdir(start.c_str()), 0); }
};

std::vector<std::string> made;

int makeDir(const char *full, const char *component, const struct copy_options *)
{
    int r = mkdir(component, 0755);
    if (r == 0) {
        made.push_back(full);
    }
    return r;
}

// Makes the directory, then puts a symbolic link to elsewhere in its place,
// as a racing process could.
std::string elsewhere;
int makeDirThenSwap(const char *full, const char *component, const struct copy_options *o)
{
    int r = makeDir(full, component, o);
    if (r == 0 && (rmdir(component) != 0 || symlink(elsewhere.c_str(), component) != 0)) {
        ADD_FAILURE() << "cannot plant the link";
    }
    return r;
}

using MakeAncestors = InDirectory;

TEST_F(MakeAncestors, MakesAndEntersEachLeadingComponent)
{
    made.clear();
    struct savewd wd;
    savewd_init(&wd);
    char name[] = "a//b/./c/";
    ptrdiff_t offset = make_ancestors(name, &wd, makeDir, nullptr);
    EXPECT_EQ(offset, 7);
    EXPECT_STREQ(name, "a//b/./c/"); // put back as it was
    EXPECT_EQ(cwd(), tmp.path() + "/a/b");
    EXPECT_EQ(made, (std::vector<std::string> {"a", "a//b"}));
    EXPECT_EQ(savewd_restore(&wd, 0), 0);
    EXPECT_EQ(cwd(), tmp.path());
    savewd_finish(&wd);
}

TEST_F(MakeAncestors, RefusesALinkPlantedInPlaceOfAMadeDirectory)
{
    qk::TempDir other;
    elsewhere = other.path();
    made.clear();
    struct savewd wd;
    savewd_init(&wd);
    char name[] = "x/y/f";
    EXPECT_EQ(make_ancestors(name, &wd, makeDirThenSwap, nullptr), -1);
    EXPECT_TRUE(errno == ELOOP || errno == ENOTDIR) << strerror(errno);
    EXPECT_EQ(cwd(), tmp.path()); // not followed
    EXPECT_EQ(made, (std::vector<std::string> {"x"}));
    struct stat st;
    EXPECT_NE(lstat((other.path() + "/y").c_str(), &st), 0); // nothing made through it
    EXPECT_EQ(savewd_restore(&wd, 0), 0);
    savewd_finish(&wd);
}

TEST_F(MakeAncestors, FollowsALinkThatWasAlreadyThere)
{
    qk::TempDir other;
    ASSERT_EQ(symlink(other.path().c_str(), "l"), 0);
    made.clear();
    struct savewd wd;
    savewd_init(&wd);
    char name[] = "l/sub/f";
    EXPECT_EQ(make_ancestors(name, &wd, makeDir, nullptr), 6);
    EXPECT_EQ(made, (std::vector<std::string> {"l/sub"}));
    struct stat st;
    EXPECT_EQ(lstat((other.path() + "/sub").c_str(), &st), 0);
    EXPECT_EQ(savewd_restore(&wd, 0), 0);
    savewd_finish(&wd);
}

TEST_F(MakeAncestors, DotDotForgetsTheMadeDirectory)
{
    // After "..", a link at a component that already exists is followed
    // again: only components below a directory we made are distrusted.
    qk::TempDir other;
    ASSERT_EQ(symlink(other.path().c_str(), "n"), 0);
    made.clear();
    struct savewd wd;
    savewd_init(&wd);
    char name[] = "m/../n/f";
    EXPECT_EQ(make_ancestors(name, &wd, makeDir, nullptr), 7);
    EXPECT_EQ(made, (std::vector<std::string> {"m"}));
    EXPECT_EQ(cwd(), other.path());
    EXPECT_EQ(savewd_restore(&wd, 0), 0);
    savewd_finish(&wd);
}

using SaveWd = InDirectory;

TEST_F(SaveWd, NoSymlinkOptionRefusesLinks)
{
    ASSERT_EQ(mkdir("d", 0755), 0);
    ASSERT_EQ(symlink("d", "l"), 0);
    struct savewd wd;
    savewd_init(&wd);
    EXPECT_EQ(savewd_chdir(&wd, "l", chdir_no_symlink, nullptr), -1);
    EXPECT_EQ(cwd(), tmp.path());
    EXPECT_EQ(savewd_chdir(&wd, "l", 0, nullptr), 0);
    EXPECT_EQ(wd.state, wd_moved);
    EXPECT_EQ(cwd(), tmp.path() + "/d");
    EXPECT_EQ(savewd_restore(&wd, 0), 0);
    EXPECT_EQ(wd.state, wd_saved);
    EXPECT_EQ(cwd(), tmp.path());
    savewd_finish(&wd);
    EXPECT_EQ(wd.state, wd_finished);
}

TEST_F(SaveWd, SkipIfOpenedHandsTheDescriptorOver)
{
    ASSERT_EQ(mkdir("d", 0755), 0);
    struct savewd wd;
    savewd_init(&wd);
    int outcome[2] = {-5, -5};
    EXPECT_EQ(savewd_chdir(&wd, "d", chdir_skip_if_opened, outcome), 0);
    EXPECT_EQ(cwd(), tmp.path());
    EXPECT_GE(outcome[0], 3);
    EXPECT_EQ(outcome[1], 0);
    EXPECT_EQ(wd.state, wd_initial); // nothing needed saving
    close(outcome[0]);
    EXPECT_EQ(savewd_chdir(&wd, "missing", chdir_skip_if_opened, outcome), -1);
    EXPECT_EQ(outcome[0], -1);
    EXPECT_EQ(outcome[1], ENOENT);
    savewd_finish(&wd);
}

TEST_F(SaveWd, EmptyNameIsNoLinkAndCannotBeOpened)
{
    EXPECT_EQ(savewd_check_link(""), 0);
    errno = 0;
    EXPECT_EQ(savewd_open_trusted("", O_RDONLY | O_DIRECTORY), -1);
    EXPECT_EQ(errno, ENOENT);
}

TEST(SaveWdDeath, BrokenInvariantsAbort)
{
    struct savewd wd;
    savewd_init(&wd);
    savewd_finish(&wd);
    EXPECT_DEATH(savewd_finish(&wd), "savewd: savewd_finish: assertion");
    EXPECT_DEATH(savewd_restore(&wd, 0), "savewd: savewd_restore: assertion");
}

TEST(CreatedNames, GrowsAndKeepsItsEntries)
{
    qk::TempDir tmp;
    struct stat st;
    ASSERT_EQ(stat(tmp.path().c_str(), &st), 0);
    struct created_names *t = created_names_new();
    EXPECT_EQ(created_names_bucket_count(t), 79u);
    std::vector<std::string> names;
    for (int i = 0; i < 400; i++) {
        names.push_back(tmp.path() + "/f" + std::to_string(i));
        created_names_insert(t, names.back().c_str(), ino_t(1000 + i), st.st_dev);
    }
    EXPECT_GT(created_names_bucket_count(t), 79u);
    for (int i = 0; i < 400; i++) {
        EXPECT_TRUE(created_names_contains(t, names[i].c_str(), ino_t(1000 + i), st.st_dev)) << i;
    }
    EXPECT_FALSE(created_names_contains(t, names[0].c_str(), 1001, st.st_dev));
    EXPECT_FALSE(created_names_contains(t, names[0].c_str(), 1000, st.st_dev + 1));
    EXPECT_FALSE(created_names_contains(t, (tmp.path() + "/g").c_str(), 1000, st.st_dev));
    created_names_free(t);
}

TEST(CreatedNames, FirstGrowthGoesTo113Buckets)
{
    struct created_names *t = created_names_new();
    // Inode numbers that are multiples of 128 put the entries for "." into
    // distinct buckets, so the table grows at the 64th of 79 buckets.
    size_t n = 0;
    while (created_names_bucket_count(t) == 79 && n < 1000) {
        created_names_insert(t, ".", ino_t(n++ * 128), 1);
    }
    EXPECT_EQ(created_names_bucket_count(t), 113u);
    created_names_free(t);
}

TEST(SameEntry, ComparesLastComponentAndDirectory)
{
    qk::TempDir tmp;
    std::string d = tmp.path();
    ASSERT_EQ(mkdir((d + "/sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink((d + "/sub").c_str(), (d + "/link").c_str()), 0);
    struct Case
    {
        std::string a, b;
        bool same;
    } cases[] = {
        {d + "/sub/f", d + "/sub//f", true},
        {d + "/sub/f", d + "/link/f", true}, // directories are followed
        {d + "/sub/f", d + "/sub/g", false},
        {d + "/sub/f", d + "/f", false},
        {d + "/sub/f/", d + "/sub/f", true},
        {d + "/sub/ff", d + "/sub/f", false},
        {"/f", "//f", true},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(same_entry(c.a.c_str(), c.b.c_str()), c.same) << c.a << " " << c.b;
    }
}

} // namespace
