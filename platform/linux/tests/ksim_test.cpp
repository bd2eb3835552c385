// SPDX-License-Identifier: GPL-2.0-or-later
// The layer notices the misuse of kernel services that driver tests rely on
// it to catch.
#include "misuse.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Ksim : public ::testing::Test
{
protected:
    void SetUp() override { ksim_reset(); }
    void TearDown() override { ksim_reset(); }
};

std::string bugs()
{
    std::string all;
    for (size_t i = 0; i < ksim_bug_count(); i++)
        all += std::string(ksim_bug_text(i)) + "\n";
    return all;
}

TEST_F(Ksim, RecordsTheMisuseTheKernelWouldWarnOrCrashOn)
{
    const struct
    {
        void (*misuse)();
        const char *bug;
    } cases[] = {
        {misuse_sleep_in_interrupt, "sleeping function called from invalid context: kmalloc\n"},
        {misuse_free_pending_work, "memory freed while its work is pending\n"},
        {misuse_free_unrequested_irq, "Trying to free already-free IRQ 75\n"},
        {misuse_free_registered_extcon, "memory freed while extcon misuse is registered\n"},
        {misuse_set_unregistered_state, "state set on an unregistered extcon device\n"},
        {misuse_queue_uninitialised_work, "queueing work that was never initialised\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bug);
        ksim_reset();
        c.misuse();
        EXPECT_EQ(bugs(), c.bug);
        EXPECT_EQ(ksim_work_pending(), 0u);
        EXPECT_EQ(ksim_mem_held(), 0u);
    }
}

TEST_F(Ksim, DeviceNamesOfAnyLengthAreKeptWhole)
{
    for (size_t length : {19, 20, 21, 63, 64, 65, 300}) {
        SCOPED_TRACE("names of " + std::to_string(length) + " bytes");
        ksim_reset();
        // Two names that differ only in their last byte.
        std::string one(length - 1, 'p'), two(length - 1, 'p');
        one += '1';
        two += '2';
        const struct
        {
            std::string name;
            int id;
            std::string expected;
        } devices[] = {
            {one, -1, one},
            {two, -1, two},
            {one, 7, one + ".7"},
            {two, 7, two + ".7"},
        };
        for (const auto &d : devices) {
            platform_device *pdev = ksim_device_add(d.name.c_str(), d.id, nullptr);
            ASSERT_NE(pdev, nullptr) << d.expected;
            EXPECT_EQ(ksim_device_name(pdev), d.expected);
        }
        // The full name is what is taken.
        EXPECT_EQ(ksim_device_add(one.c_str(), 7, nullptr), nullptr);
    }
    EXPECT_EQ(bugs(), "");
}

TEST_F(Ksim, PendingWorkKeepsItsFirstExpiry)
{
    EXPECT_EQ(use_requeue_keeps_first_expiry(), 1);
    EXPECT_EQ(bugs(), "");
}

TEST_F(Ksim, StateReadFallsBackToTheClassRenderingWhenPrintStateFails)
{
    char buf[32];
    EXPECT_EQ(use_failing_print_state(buf, sizeof(buf)), 2);
    EXPECT_STREQ(buf, "7\n");
    EXPECT_EQ(bugs(), "");
}

} // namespace
