// SPDX-License-Identifier: GPL-2.0-or-later
#include "vexlink.h"

#include "certgen.h"
#include "qktest.h"

#include <type_traits>

static_assert(std::is_same<decltype(NameList::count), uint32_t>::value
                  && std::is_same<decltype(NameList::capacity), uint32_t>::value,
              "32-bit list counts");
static_assert(std::is_same<decltype(HashMaker::n_slots), uint32_t>::value
                  && std::is_same<decltype(HashMaker::n_xns), uint32_t>::value,
              "32-bit registry counts");

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <openssl/crypto.h>

using vxtest::makeName;

namespace {

std::map<std::string, uint32_t> g_hashes;

// Hash from a table keyed by the name's common name.
uint32_t tableHash(const X509_NAME *name)
{
    char cn[256] = "";
    X509_NAME_get_text_by_NID(const_cast<X509_NAME *>(name), NID_commonName, cn, sizeof cn);
    return g_hashes.at(cn);
}

class Registry : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(HashMaker_new(&m_reg, "dir", "", "certificate", read_cert_name), ERR_NONE);
    }
    void TearDown() override
    {
        HashMaker_free(m_reg);
        vexlink_hash_seam = nullptr;
        g_hashes.clear();
    }
    // Registers CN=cn; returns the status and the index in *index.
    int add(const std::string &cn, uint32_t *index = nullptr, uint32_t *hash = nullptr)
    {
        X509_NAME *name = makeName(cn);
        int r = HashMaker_register_x509_name(m_reg, name, index, hash);
        if (r != ERR_NONE) {
            X509_NAME_free(name);
        }
        return r;
    }
    HashMaker *m_reg = nullptr;
};

TEST(HashLinkName, RecognisesLinkNamesOfTheSelectedKinds)
{
    const int both = KIND_CERT | KIND_CRL;
    struct Case
    {
        const char *name;
        int kinds;
        bool link;
    } cases[] = {
        {"0123abcd.0", both, true},
        {"0123ABCD.17", both, true},
        {"0123abcd.r3", both, true},
        {"0123abcd.r3", KIND_CRL, true},
        {"0123abcd.r3", KIND_CERT, false}, // CRL link, CRLs not selected
        {"0123abcd.0", KIND_CRL, false}, // certificate link, certificates not selected
        {"fFfFfFfF.000123456789012345", KIND_CERT, true}, // digits not limited
        {"0123abcd.0x", both, false},
        {"0123abcd.", both, false},
        {"0123abcd.r", both, false},
        {"0123abc.0", both, false},
        {"0123abcdx0", both, false},
        {"0123abcg.0", both, false},
        {"0123abcd.-1", both, false},
        {"0123abcd.r-1", both, false},
        {"0123abcd.rr1", both, false},
        {"0123abcd", both, false},
        {"", both, false},
        {"ca.pem", both, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(is_hash_link_name(c.name, c.kinds) != 0, c.link)
            << c.name << " kinds " << c.kinds;
    }
}

int collectDir(const char *dir, void *ctx)
{
    static_cast<std::vector<std::string> *>(ctx)->push_back(dir);
    return ERR_NONE;
}

TEST(DirList, SplitsAtSeparatorsKeepingFirstCharacters)
{
    struct Case
    {
        const char *value;
        std::vector<std::string> dirs;
    } cases[] = {
        {"/a:/b", {"/a", "/b"}},
        {"/etc/ssl/certs", {"/etc/ssl/certs"}},
        {"/", {}}, // one character
        {"/:/b", {"/b"}}, // one-character element passed over
        {"/a:/", {"/a"}},
        {"/a:", {"/a"}}, // trailing separator ends the search
        {"/a::", {"/a"}},
        {":/a", {":/a"}}, // a first character is never a separator
        {"/a::/b", {"/a", ":/b"}},
        {"::", {}},
        {":::", {}},
        {"::::::", {}},
        {"ab:cd:ef", {"ab", "cd", "ef"}},
    };
    for (const auto &c : cases) {
        std::string copy = c.value;
        std::vector<std::string> got;
        EXPECT_EQ(split_cert_dir_list(copy.data(), collectDir, &got), ERR_NONE) << c.value;
        EXPECT_EQ(got, c.dirs) << c.value;
    }
}

TEST(DirList, StopsAtTheFirstFailure)
{
    std::string value = "/a:/b:/c";
    int calls = 0;
    auto fail = [](const char *, void *ctx) {
        return ++*static_cast<int *>(ctx) == 2 ? int(ERR_NOMEM) : int(ERR_NONE);
    };
    EXPECT_EQ(split_cert_dir_list(value.data(), fail, &calls), ERR_NOMEM);
    EXPECT_EQ(calls, 2);
}

TEST(NameList, KeepsItemsInOrderWhileGrowing)
{
    NameList *list = NameList_new();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count, 0u);
    EXPECT_EQ(list->items, nullptr);
    std::vector<std::string> want;
    for (int i = 0; i < 100; ++i) {
        want.push_back("n" + std::to_string(i));
        ASSERT_EQ(NameList_push(list, OPENSSL_strdup(want.back().c_str())), ERR_NONE);
    }
    ASSERT_EQ(list->count, 100u);
    EXPECT_GE(list->capacity, 100u);
    for (uint32_t i = 0; i < list->count; ++i) {
        EXPECT_EQ(list->items[i], want[i]);
        OPENSSL_free(list->items[i]);
    }
    NameList_free(list);
}

TEST_F(Registry, TableGrowsToSixteenTimesTheNextCount)
{
    EXPECT_EQ(m_reg->n_slots, 0u);
    EXPECT_EQ(m_reg->slots, nullptr);
    // Table size after each of seven registrations.
    const uint32_t sizes[] = {16, 16, 48, 48, 48, 48, 112};
    for (int i = 0; i < 7; ++i) {
        ASSERT_EQ(add("grow" + std::to_string(i)), ERR_NONE);
        EXPECT_EQ(m_reg->n_slots, sizes[i]) << "after " << i + 1;
        EXPECT_EQ(m_reg->n_xns, uint32_t(i + 1));
    }
    // Every name is still found after the moves.
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(add("grow" + std::to_string(i)), ERR_DUPLICATE) << i;
    }
}

TEST_F(Registry, GivesTheLibraryHashAndIndexZeroForNewNames)
{
    uint32_t index = 99, hash = 0;
    ASSERT_EQ(add("Example Root", &index, &hash), ERR_NONE);
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(hash, vxtest::nameHash("Example Root"));
    // Equal names compare equal however the case and spacing differ.
    EXPECT_EQ(add("  example   ROOT "), ERR_DUPLICATE);
    EXPECT_EQ(m_reg->n_xns, 1u);
}

TEST_F(Registry, CountsEarlierNamesOfTheSameHashAlongTheProbePath)
{
    vexlink_hash_seam = tableHash;
    // 15 is the last slot of the first table: probing wraps to slot 0.
    g_hashes = {{"a", 15}, {"b", 15}, {"c", 16}, {"d", 15}, {"e", 63}};
    uint32_t index = 99, hash = 0;
    ASSERT_EQ(add("a", &index, &hash), ERR_NONE);
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(hash, 15u);
    ASSERT_EQ(add("b", &index), ERR_NONE);
    EXPECT_EQ(index, 1u);
    ASSERT_EQ(m_reg->n_slots, 16u);
    EXPECT_NE(m_reg->slots[0], nullptr) << "b wraps to slot 0";
    // The table grows to 48 first; c then probes past a name of another hash.
    ASSERT_EQ(add("c", &index), ERR_NONE);
    EXPECT_EQ(index, 0u);
    ASSERT_EQ(m_reg->n_slots, 48u);
    ASSERT_EQ(add("d", &index), ERR_NONE);
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(add("b"), ERR_DUPLICATE);
    // 63 modulo 48 starts on the chain of hash 15.
    ASSERT_EQ(add("e", &index), ERR_NONE);
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(add("a", nullptr, nullptr), ERR_DUPLICATE);
    EXPECT_EQ(m_reg->n_xns, 5u);
}

TEST(RegistryDeath, BrokenCountFailsTheRehashAssertion)
{
    HashMaker *reg = nullptr;
    ASSERT_EQ(HashMaker_new(&reg, "dir", "", "certificate", read_cert_name), ERR_NONE);
    X509_NAME *name = makeName("one");
    ASSERT_EQ(HashMaker_register_x509_name(reg, name, nullptr, nullptr), ERR_NONE);
    reg->n_xns = 2; // one name in the table
    X509_NAME *other = makeName("two");
    EXPECT_DEATH(HashMaker_register_x509_name(reg, other, nullptr, nullptr),
                 "rehash_count == obj->n_xns");
    X509_NAME_free(other);
    reg->n_xns = 1;
    HashMaker_free(reg);
}

TEST(ExitStatus, MapsStatusesAndAssertsOnUnknownOnes)
{
    EXPECT_EQ(exit_status_of(ERR_NONE), 0);
    EXPECT_EQ(exit_status_of(ERR_USAGE), 1);
    EXPECT_DEATH(exit_status_of(ERR_DUPLICATE), "r == ERR_NONE");
    EXPECT_DEATH(exit_status_of(ERR_NODIR), "r == ERR_NONE");
    EXPECT_EXIT(exit(exit_status_of(ERR_NOMEM)), ::testing::ExitedWithCode(1), "^Out of memory\n$");
}

TEST(ExitStatus, ArgumentCountZeroIsRefused)
{
    // Linux starts no program with an empty argument vector any more, so
    // this is seen from inside only.
    char *argv[] = {nullptr};
    EXPECT_EXIT(exit(vexlink_main(0, argv)), ::testing::ExitedWithCode(2), "^Bad excecution\n$");
}

// A block whose base64 cannot be decoded ends the file for the reader's
// kind; it is not taken for a shortage of memory.
TEST(Readers, CorruptBlockEndsTheFileQuietly)
{
    qk::TempDir dir;
    std::string corrupt = vxtest::crlPem("two");
    corrupt[corrupt.find('\n') + 10] = ':';
    std::string file = dir.file("corrupt.pem");
    qk::writeFile(file,
                  vxtest::certPem("one", "one") + corrupt + vxtest::certPem("three", "three"));
    struct Case
    {
        HashMaker_reader reader;
        size_t names;
    } cases[] = {
        {read_cert_name, 1},
        {read_crl_name, 0},
    };
    for (const auto &c : cases) {
        FILE *fp = fopen(file.c_str(), "r");
        ASSERT_NE(fp, nullptr);
        size_t got = 0;
        X509_NAME *name = nullptr;
        int r;
        while ((r = c.reader(&name, fp)) == ERR_NONE && name) {
            X509_NAME_free(name);
            ++got;
        }
        EXPECT_EQ(r, ERR_NONE);
        EXPECT_EQ(got, c.names);
        fclose(fp);
    }
}

TEST(Readers, YieldEachObjectOfTheirKindInTurn)
{
    qk::TempDir dir;
    std::string file = dir.file("mixed.pem");
    qk::writeFile(file,
                  vxtest::certPem("one", "one") + vxtest::otherPem() + vxtest::crlPem("one")
                      + "junk between blocks\n" + vxtest::certPem("two", "one", 2));
    struct Case
    {
        HashMaker_reader reader;
        std::vector<std::string> names;
    } cases[] = {
        {read_cert_name, {"one", "two"}},
        {read_crl_name, {"one"}},
    };
    for (const auto &c : cases) {
        FILE *fp = fopen(file.c_str(), "r");
        ASSERT_NE(fp, nullptr);
        std::vector<std::string> got;
        for (;;) {
            X509_NAME *name = reinterpret_cast<X509_NAME *>(1);
            ASSERT_EQ(c.reader(&name, fp), ERR_NONE);
            if (!name) {
                break;
            }
            char cn[64] = "";
            X509_NAME_get_text_by_NID(name, NID_commonName, cn, sizeof cn);
            got.push_back(cn);
            X509_NAME_free(name);
        }
        fclose(fp);
        EXPECT_EQ(got, c.names);
    }
}

TEST(CopyFile, CopiesContentNoMoreOpenThanTheSourceAndReportsWhichSideFailed)
{
    qk::TempDir dir;
    std::string big(20000, 'x'); // more than one buffer
    for (size_t i = 0; i < big.size(); i += 7) {
        big[i] = char('a' + i % 26);
    }
    qk::writeFile(dir.file("src"), big, 0600);
    qk::writeFile(dir.file("exists"), "old");
    ASSERT_EQ(mkdir(dir.file("subdir").c_str(), 0755), 0);
    struct
    {
        mode_t source, mask, copy;
    } modes[] = {
        {0644, 022, 0644},
        {0644, 027, 0640},
        {0600, 022, 0600}, // a private file stays private
        {0640, 0, 0640},
        {0755, 0, 0644}, // never executable
        {0444, 022, 0444},
        {0604, 027, 0600},
    };
    int n = 0;
    for (const auto &m : modes) {
        std::string copy = dir.file("copy" + std::to_string(n++));
        SCOPED_TRACE(copy);
        ASSERT_EQ(chmod(dir.file("src").c_str(), m.source), 0);
        mode_t old = umask(m.mask);
        EXPECT_EQ(copy_file(dir.file("src").c_str(), copy.c_str()), 0);
        umask(old);
        EXPECT_EQ(qk::readFile(copy), big);
        struct stat st;
        ASSERT_EQ(stat(copy.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, m.copy);
    }

    struct Case
    {
        std::string source, target;
        int result, err;
    } cases[] = {
        {dir.file("missing"), dir.file("t1"), 1, ENOENT},
        {dir.file("src"), dir.file("exists"), 2, EEXIST},
        {dir.file("src"), dir.file("nodir/t2"), 2, ENOENT},
        {dir.file("subdir"), dir.file("t3"), 1, EISDIR}, // opens, cannot be read
    };
    for (const auto &c : cases) {
        errno = 0;
        EXPECT_EQ(copy_file(c.source.c_str(), c.target.c_str()), c.result) << c.source;
        EXPECT_EQ(errno, c.err) << c.source;
    }
    EXPECT_EQ(qk::readFile(dir.file("exists")), "old");
}

} // namespace
