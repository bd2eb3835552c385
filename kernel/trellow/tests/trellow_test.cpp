// SPDX-License-Identifier: GPL-2.0-or-later
// The trellow module on the simulated machine: binding, probe failures,
// state texts, debouncing, removal and several connectors at once.
#include "trellow.h"

#include "ksim.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <qktest.h>

#include <cstddef>

// Board code fills this record, in this order and without padding; every
// field is 32-bit on the devices.
static_assert(offsetof(trellow_platform_data, gpio) == sizeof(void *)
                  && offsetof(trellow_platform_data, debounce_ms) == sizeof(void *) + 4
                  && offsetof(trellow_platform_data, irq_flags) == sizeof(void *) + 8
                  && offsetof(trellow_platform_data, on_text) == sizeof(void *) + 8 + sizeof(long)
                  && offsetof(trellow_platform_data, off_text)
                      == 2 * sizeof(void *) + 8 + sizeof(long)
                  && sizeof(trellow_platform_data) == 3 * sizeof(void *) + 8 + sizeof(long),
              "fields in board order");
static_assert(sizeof(void *) != 4 || sizeof(trellow_platform_data) == 24,
              "six 32-bit words on the devices");

namespace {

// Values of the kernel's interfaces the board and the checks use.
constexpr unsigned long kRising = 0x1;
constexpr unsigned long kFalling = 0x2;
constexpr unsigned long kBoth = kRising | kFalling;
constexpr int kEBUSY = 16;
constexpr int kEINVAL = 22;
constexpr int kENOMEM = 12;
constexpr int kEIO = 5;
constexpr int kENXIO = 6;
constexpr int kEEXIST = 17;
constexpr int kENODEV = 19;
constexpr int kEAGAIN = 11;
constexpr int kEINTR = 4;

int irqOf(unsigned gpio)
{
    return KSIM_GPIO_IRQ_BASE + static_cast<int>(gpio);
}

// An attribute as user space reads it, or "error N". A read returns at most
// a page.
std::string readAttribute(ssize_t (*read)(const char *, char *, size_t), const std::string &name)
{
    std::vector<char> buf(2 * KSIM_PAGE_SIZE);
    ssize_t n = read(name.c_str(), buf.data(), buf.size());
    if (n < 0)
        return "error " + std::to_string(n);
    return std::string(buf.data(), static_cast<size_t>(n));
}

std::string readState(const std::string &name)
{
    return readAttribute(ksim_extcon_read_state, name);
}

std::string readName(const std::string &name)
{
    return readAttribute(ksim_extcon_read_name, name);
}

// What a page holds of a text: at most a page less its terminating zero.
std::string pageOf(const std::string &text)
{
    return text.substr(0, KSIM_PAGE_SIZE - 1);
}

// What the device logged, message by message, each after its "<level>".
std::vector<std::string> messagesOf(const char *device)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < ksim_log_count(); i++) {
        const ksim_log_record *r = ksim_log_entry(i);
        if (r->device && std::string(r->device) == device)
            out.push_back("<" + std::to_string(r->level) + ">" + r->text);
    }
    return out;
}

trellow_platform_data dockBoard(unsigned gpio = 5, unsigned debounceMs = 50)
{
    return trellow_platform_data {"dock", gpio, debounceMs, kBoth, "Docked", "Undocked"};
}

class Trellow : public ::testing::Test
{
protected:
    void SetUp() override { ksim_reset(); }
    void TearDown() override { restart(); }

    // A fresh machine; whatever the kernel would have warned about on the
    // old one is a failure.
    static void restart()
    {
        for (size_t i = 0; i < ksim_bug_count(); i++)
            ADD_FAILURE() << "kernel bug: " << ksim_bug_text(i);
        ksim_reset();
    }

    platform_device *bind(const trellow_platform_data *pdata, int id = 0)
    {
        if (!ksim_module_loaded("trellow")) {
            EXPECT_EQ(ksim_module_load("trellow"), 0);
        }
        return ksim_device_add("trellow", id, pdata);
    }

    static void expectNothingHeld()
    {
        EXPECT_EQ(ksim_mem_held(), 0u);
        EXPECT_EQ(ksim_gpio_held(), 0u);
        EXPECT_EQ(ksim_irq_actions(), 0u);
        EXPECT_EQ(ksim_extcon_registered(), 0u);
        EXPECT_EQ(ksim_work_pending(), 0u);
    }
};

TEST_F(Trellow, LoadingRegistersTheDriverThatBindsDevicesNamedTrellow)
{
    trellow_platform_data pdata = dockBoard(7);
    platform_device *early = ksim_device_add("trellow", 0, &pdata);
    platform_device *other = ksim_device_add("trellow-not", 0, &pdata);
    ASSERT_NE(early, nullptr);
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(ksim_device_bound(early));

    ASSERT_EQ(ksim_module_load("trellow"), 0);
    EXPECT_STREQ(ksim_driver_owner("trellow"), "trellow");
    EXPECT_TRUE(ksim_device_bound(early));
    EXPECT_FALSE(ksim_device_bound(other));

    // The line is an input labelled with the device's name; the interrupt
    // carries the board's flags.
    EXPECT_STREQ(ksim_gpio_label(7), "trellow");
    EXPECT_TRUE(ksim_gpio_is_input(7));
    EXPECT_EQ(ksim_irq_flags(irqOf(7)), kBoth);
    EXPECT_STREQ(ksim_irq_name(irqOf(7)), "trellow");
    char name[64];
    ASSERT_GT(ksim_extcon_read_name("dock", name, sizeof(name)), 0);
    EXPECT_STREQ(name, "dock\n");

    ASSERT_EQ(ksim_module_unload("trellow"), 0);
    EXPECT_FALSE(ksim_device_bound(early));
    expectNothingHeld();
}

TEST_F(Trellow, StateAfterProbeIsTheLevelWithoutAnEdge)
{
    const struct
    {
        int level;
        bool texts; // both texts given, or none
        const char *expected;
    } cases[] = {
        {0, false, "0\n"},
        {1, false, "1\n"},
        {4, false, "4\n"}, // controller reports the line's bit unchanged
        {0, true, "Undocked\n"},
        {1, true, "Docked\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("level " + std::to_string(c.level));
        restart();
        trellow_platform_data pdata = dockBoard();
        if (!c.texts)
            pdata.on_text = pdata.off_text = nullptr;
        ksim_gpio_set(pdata.gpio, c.level);
        platform_device *pdev = bind(&pdata);
        ASSERT_NE(pdev, nullptr);
        EXPECT_EQ(ksim_device_probe_result(pdev), 0);
        EXPECT_EQ(readState("dock"), c.expected);
        EXPECT_EQ(ksim_irq_raised(irqOf(pdata.gpio)), 0u);
        EXPECT_EQ(ksim_gpio_reads(pdata.gpio), 1u);
    }
}

struct ProbeFailure
{
    const char *what;
    std::function<void(trellow_platform_data &)> arrange;
    bool noPlatformData;
    int expected;
    std::vector<std::string> errors;
};

TEST_F(Trellow, EachProbeFailureReturnsItsErrorAndLeavesNothingBehind)
{
    const ProbeFailure cases[] = {
        {"no platform data", [](trellow_platform_data &) {}, true, -kEBUSY, {}},
        {"irq flags 0",
         [](trellow_platform_data &p) { p.irq_flags = 0; },
         false,
         -kEINVAL,
         {"<3>IRQ flag is not specified.\n"}}, // a device error
        {"allocation",
         [](trellow_platform_data &) { ksim_fail_next(KSIM_FAULT_KMALLOC, -kENOMEM); },
         false,
         -kENOMEM,
         {}},
        {"extcon registration",
         [](trellow_platform_data &) { ksim_fail_next(KSIM_FAULT_EXTCON_REGISTER, -kEIO); },
         false,
         -kEIO,
         {}},
        {"gpio request",
         [](trellow_platform_data &) { ksim_fail_next(KSIM_FAULT_GPIO_REQUEST, -kEAGAIN); },
         false,
         -kEAGAIN,
         {}},
        {"no such line",
         [](trellow_platform_data &p) { p.gpio = KSIM_NR_GPIOS; },
         false,
         -kEINVAL,
         {}},
        {"line without interrupt",
         [](trellow_platform_data &p) { ksim_gpio_set_no_irq(p.gpio, -kENXIO); },
         false,
         -kENXIO,
         {}},
        {"gpio_to_irq",
         [](trellow_platform_data &) { ksim_fail_next(KSIM_FAULT_GPIO_TO_IRQ, -kEINVAL); },
         false,
         -kEINVAL,
         {}},
        {"interrupt request",
         [](trellow_platform_data &) { ksim_fail_next(KSIM_FAULT_REQUEST_IRQ, -kEINTR); },
         false,
         -kEINTR,
         {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        restart();
        trellow_platform_data pdata = dockBoard();
        c.arrange(pdata);
        platform_device *pdev = bind(c.noPlatformData ? nullptr : &pdata);
        ASSERT_NE(pdev, nullptr);

        EXPECT_EQ(ksim_device_probe_result(pdev), c.expected);
        EXPECT_FALSE(ksim_device_bound(pdev));
        EXPECT_EQ(messagesOf("trellow.0"), c.errors);
        EXPECT_EQ(ksim_devres_count(pdev), 0u);
        expectNothingHeld();
        EXPECT_EQ(readState("dock"), "error -" + std::to_string(kENODEV));

        // Nothing left over stands in the way of binding the board again.
        ksim_gpio_set_no_irq(5, 0);
        ksim_device_remove(pdev);
        trellow_platform_data good = dockBoard();
        pdev = bind(&good);
        ASSERT_NE(pdev, nullptr);
        EXPECT_EQ(ksim_device_probe_result(pdev), 0);
        EXPECT_EQ(readState("dock"), "Undocked\n");
    }
}

TEST_F(Trellow, ProbeFailsOnResourcesAnotherDeviceHolds)
{
    trellow_platform_data first = dockBoard(5);
    platform_device *a = bind(&first, 0);
    ASSERT_TRUE(a && ksim_device_bound(a));

    const struct
    {
        const char *what;
        trellow_platform_data pdata;
        int expected;
    } cases[] = {
        {"same line", {"other", 5, 50, kBoth, nullptr, nullptr}, -kEBUSY},
        {"same connector name", {"dock", 6, 50, kBoth, nullptr, nullptr}, -kEEXIST},
    };
    int id = 1;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        platform_device *b = bind(&c.pdata, id++);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(ksim_device_probe_result(b), c.expected);
        EXPECT_FALSE(ksim_device_bound(b));
        EXPECT_EQ(ksim_devres_count(b), 0u);
        EXPECT_EQ(ksim_extcon_registered(), 1u);
        EXPECT_EQ(ksim_gpio_held(), 1u);
        EXPECT_EQ(ksim_irq_actions(), 1u);
        // The first connector stays as it was; the refused one is gone.
        EXPECT_EQ(readState("dock"), "Undocked\n");
        if (std::string(c.pdata.name) != "dock") {
            EXPECT_EQ(readState(c.pdata.name), "error -" + std::to_string(kENODEV));
        }
    }

    // The first connector still follows its line.
    ksim_gpio_set(5, 1);
    ksim_advance(5);
    EXPECT_EQ(readState("dock"), "Docked\n");

    // An interrupt taken by a foreign, non-shared handler.
    ASSERT_EQ(ksim_irq_occupy(irqOf(9)), 0);
    trellow_platform_data third = {"third", 9, 50, kBoth, nullptr, nullptr};
    platform_device *t = bind(&third, 9);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(ksim_device_probe_result(t), -kEBUSY);
    EXPECT_EQ(ksim_gpio_held(), 1u);
    EXPECT_EQ(readState("third"), "error -" + std::to_string(kENODEV));
}

TEST_F(Trellow, AnyContextInterruptCountsAsSuccess)
{
    ksim_irq_set_nested(irqOf(5), true);
    trellow_platform_data pdata = dockBoard();
    platform_device *pdev = bind(&pdata);
    ASSERT_NE(pdev, nullptr);
    EXPECT_EQ(ksim_device_probe_result(pdev), 0);
    ksim_gpio_set(5, 1);
    ksim_advance(5);
    EXPECT_EQ(readState("dock"), "Docked\n");
}

TEST_F(Trellow, StateTextIsTheBoardsOnlyWhenBothTextsAreGiven)
{
    const struct
    {
        const char *on;
        const char *off;
        const char *high;
        const char *low;
    } cases[] = {
        {"Docked", "Undocked", "Docked\n", "Undocked\n"},
        {"Docked", nullptr, "1\n", "0\n"}, // the class's own rendering
        {nullptr, "Undocked", "1\n", "0\n"},
        {nullptr, nullptr, "1\n", "0\n"},
        {"", "", "\n", "\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.on ? c.on : "null") + "/" + (c.off ? c.off : "null"));
        restart();
        trellow_platform_data pdata = {"dock", 5, 20, kBoth, c.on, c.off};
        ASSERT_NE(bind(&pdata), nullptr);
        EXPECT_EQ(readState("dock"), c.low);
        ksim_gpio_set(5, 1);
        ksim_advance(2);
        EXPECT_EQ(readState("dock"), c.high);
        ksim_gpio_set(5, 0);
        ksim_advance(2);
        EXPECT_EQ(readState("dock"), c.low);
    }
}

TEST_F(Trellow, StateTextsOfAPageOrMoreAreCutToThePage)
{
    const size_t lengths[] = {
        KSIM_PAGE_SIZE - 2, // the text, its newline and the zero fill the page
        KSIM_PAGE_SIZE - 1, // the newline no longer fits
        KSIM_PAGE_SIZE,
        KSIM_PAGE_SIZE + 1,
        KSIM_PAGE_SIZE + KSIM_PAGE_SIZE / 2,
    };
    for (size_t length : lengths) {
        SCOPED_TRACE("text of " + std::to_string(length) + " bytes");
        std::string text;
        while (text.size() < length) {
            text += std::to_string(text.size()) + ",";
        }
        text.resize(length);
        trellow_platform_data pdata = {"dock", 5, 20, kBoth, text.c_str(), text.c_str()};
        ASSERT_NE(bind(&pdata), nullptr);
        EXPECT_EQ(readState("dock"), pageOf(text + "\n"));
        ksim_gpio_set(5, 1);
        ksim_advance(2);
        EXPECT_EQ(readState("dock"), pageOf(text + "\n"));
        // A write past the page is a kernel bug that fails the case here.
        restart();
    }
}

TEST_F(Trellow, ConnectorNamesOfAnyLengthAreRegisteredWhole)
{
    const size_t lengths[] = {63, 64, 65, 300, KSIM_PAGE_SIZE + 100};
    for (size_t length : lengths) {
        SCOPED_TRACE("names of " + std::to_string(length) + " bytes");
        // Two names that differ only in their last byte.
        std::string dock(length - 1, 'd'), headset(length - 1, 'd');
        dock += '1';
        headset += '2';
        trellow_platform_data a = {dock.c_str(), 3, 20, kBoth, nullptr, nullptr};
        trellow_platform_data b = {headset.c_str(), 4, 20, kBoth, nullptr, nullptr};
        platform_device *pa = bind(&a, 0);
        platform_device *pb = bind(&b, 1);
        ASSERT_TRUE(pa && pb);
        EXPECT_EQ(ksim_device_probe_result(pa), 0);
        EXPECT_EQ(ksim_device_probe_result(pb), 0);

        ksim_gpio_set(4, 1);
        ksim_advance(2);
        EXPECT_EQ(readState(dock), "0\n");
        EXPECT_EQ(readState(headset), "1\n");
        EXPECT_EQ(readName(dock), pageOf(dock + "\n"));
        EXPECT_EQ(readName(headset), pageOf(headset + "\n"));
        EXPECT_EQ(readState(dock.substr(0, length - 1)), "error -" + std::to_string(kENODEV));
        restart();
    }
}

TEST_F(Trellow, EdgesDuringTheDelayAddNoReads)
{
    trellow_platform_data pdata = dockBoard(5, 50);
    ASSERT_NE(bind(&pdata), nullptr);
    ASSERT_EQ(ksim_gpio_reads(5), 1u); // the read at probe

    // Three edges 10 ms (one tick) apart; the line ends high.
    ksim_gpio_set(5, 1);
    ksim_advance(1);
    ksim_gpio_set(5, 0);
    ksim_advance(1);
    ksim_gpio_set(5, 1);
    EXPECT_EQ(ksim_irq_handled(irqOf(5)), 3u);
    ksim_advance(2);
    EXPECT_EQ(ksim_gpio_reads(5), 1u) << "read before 50 ms";
    EXPECT_EQ(readState("dock"), "Undocked\n");
    ksim_advance(1);
    EXPECT_EQ(ksim_gpio_reads(5), 2u) << "one read 50 ms after the first edge";
    EXPECT_EQ(readState("dock"), "Docked\n");
    EXPECT_EQ(ksim_extcon_changes("dock"), 1u);
    ksim_advance(20);
    EXPECT_EQ(ksim_gpio_reads(5), 2u);

    // An edge after the read starts a new delay.
    ksim_gpio_set(5, 0);
    ksim_advance(4);
    EXPECT_EQ(readState("dock"), "Docked\n");
    ksim_advance(1);
    EXPECT_EQ(ksim_gpio_reads(5), 3u);
    EXPECT_EQ(readState("dock"), "Undocked\n");
}

TEST_F(Trellow, DelayIsTheDebounceRoundedUpToWholeTicks)
{
    static_assert(KSIM_HZ == 100, "cases are written for 10 ms ticks");
    const struct
    {
        unsigned ms;
        unsigned long ticks;
    } cases[] = {
        {0, 0},
        {1, 1},
        {10, 1},
        {11, 2},
        {15, 2},
        {50, 5},
        {1000, 100},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.ms) + " ms");
        restart();
        trellow_platform_data pdata = dockBoard(5, c.ms);
        ASSERT_NE(bind(&pdata), nullptr);
        ksim_gpio_set(5, 1);
        // The handler only queues: even without delay the read is the work's.
        EXPECT_EQ(ksim_gpio_reads(5), 1u);
        EXPECT_EQ(ksim_work_pending(), 1u);
        unsigned long waited = 0;
        ksim_run_work();
        while (ksim_gpio_reads(5) == 1 && waited <= c.ticks) {
            ksim_advance(1);
            waited++;
        }
        EXPECT_EQ(waited, c.ticks);
        EXPECT_EQ(readState("dock"), "Docked\n");
    }
}

TEST_F(Trellow, InterruptFollowsTheBoardsTriggerFlags)
{
    const struct
    {
        unsigned long flags;
        bool readsOnRise;
        bool readsOnFall;
    } cases[] = {
        {kRising, true, false},
        {kFalling, false, true},
        {kBoth, true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("flags " + std::to_string(c.flags));
        restart();
        trellow_platform_data pdata = {"dock", 5, 10, c.flags, nullptr, nullptr};
        ASSERT_NE(bind(&pdata), nullptr);
        ksim_gpio_set(5, 1);
        ksim_advance(1);
        EXPECT_EQ(ksim_gpio_reads(5), c.readsOnRise ? 2u : 1u);
        unsigned long before = ksim_gpio_reads(5);
        ksim_gpio_set(5, 0);
        ksim_advance(1);
        EXPECT_EQ(ksim_gpio_reads(5), before + (c.readsOnFall ? 1 : 0));
    }
}

TEST_F(Trellow, RemoveCancelsAPendingRead)
{
    trellow_platform_data pdata = dockBoard();
    platform_device *pdev = bind(&pdata);
    ASSERT_NE(pdev, nullptr);
    ksim_gpio_set(5, 1);
    ksim_advance(2);
    ASSERT_EQ(ksim_work_pending(), 1u);

    ksim_device_remove(pdev);
    ksim_advance(100);
    EXPECT_EQ(ksim_gpio_reads(5), 1u);
    expectNothingHeld();
}

// An edge at one place inside remove, and time passing at one place, as if
// remove were slow there and the work ran meanwhile.
struct RemoveScript
{
    ksim_point edgeAt;
    ksim_point timeAt; // KSIM_NR_POINTS: nowhere
    bool unregistered = false;
    unsigned long readsAtUnregister = 0;
};

struct RemoveHook
{
    RemoveScript *script;
    ksim_point point;
};

void duringRemove(void *arg)
{
    const auto *h = static_cast<RemoveHook *>(arg);
    RemoveScript *s = h->script;
    if (h->point == KSIM_AFTER_EXTCON_UNREGISTER) {
        s->unregistered = true;
        s->readsAtUnregister = ksim_gpio_reads(5);
    }
    if (h->point == s->edgeAt)
        ksim_gpio_set(5, 1);
    if (h->point == s->timeAt)
        ksim_advance(10);
}

TEST_F(Trellow, AnEdgeDuringRemoveChangesNothingAfterUnregister)
{
    const ksim_point points[] = {
        KSIM_AT_FREE_IRQ,
        KSIM_AFTER_FREE_IRQ,
        KSIM_AT_CANCEL_WORK,
        KSIM_AT_EXTCON_UNREGISTER,
        KSIM_AFTER_EXTCON_UNREGISTER,
    };
    const ksim_point times[] = {
        KSIM_NR_POINTS,
        KSIM_AT_FREE_IRQ,
        KSIM_AFTER_FREE_IRQ,
        KSIM_AT_CANCEL_WORK,
        KSIM_AT_EXTCON_UNREGISTER,
        KSIM_AFTER_EXTCON_UNREGISTER,
    };
    for (ksim_point edgeAt : points) {
        for (ksim_point timeAt : times) {
            SCOPED_TRACE("edge at point " + std::to_string(edgeAt) + ", time passes at point "
                         + std::to_string(timeAt));
            restart();
            trellow_platform_data pdata = dockBoard(5, 50);
            platform_device *pdev = bind(&pdata);
            ASSERT_NE(pdev, nullptr);

            RemoveScript script {edgeAt, timeAt};
            RemoveHook hooks[KSIM_NR_POINTS];
            for (ksim_point p : points) {
                hooks[p] = {&script, p};
                ksim_set_hook(p, duringRemove, &hooks[p]);
            }
            ksim_device_remove(pdev);
            for (ksim_point p : points)
                ksim_set_hook(p, nullptr, nullptr);
            ksim_advance(100);

            ASSERT_TRUE(script.unregistered);
            EXPECT_EQ(ksim_gpio_reads(5), script.readsAtUnregister);
            EXPECT_EQ(readState("dock"), "error -" + std::to_string(kENODEV));
            expectNothingHeld();
        }
    }
}

TEST_F(Trellow, UnloadingUnbindsEveryDeviceAndReloadingBindsThemAgain)
{
    trellow_platform_data dock = dockBoard(3);
    trellow_platform_data headset = {"headset", 4, 20, kBoth, nullptr, nullptr};
    platform_device *a = bind(&dock, 0);
    platform_device *b = bind(&headset, 1);
    ASSERT_TRUE(a && b);
    ksim_gpio_set(3, 1);
    ksim_gpio_set(4, 1);

    ASSERT_EQ(ksim_module_unload("trellow"), 0);
    EXPECT_FALSE(ksim_device_bound(a));
    EXPECT_FALSE(ksim_device_bound(b));
    ksim_advance(100);
    expectNothingHeld();

    ASSERT_EQ(ksim_module_load("trellow"), 0);
    EXPECT_EQ(readState("dock"), "Docked\n");
    EXPECT_EQ(readState("headset"), "1\n");
}

TEST_F(Trellow, TwoConnectorsStayIndependent)
{
    trellow_platform_data dock = dockBoard(3, 50);
    trellow_platform_data headset = {"headset", 4, 20, kRising, nullptr, nullptr};
    platform_device *a = bind(&dock, 0);
    platform_device *b = bind(&headset, 1);
    ASSERT_TRUE(a && b && ksim_device_bound(a) && ksim_device_bound(b));

    ksim_gpio_set(4, 1);
    ksim_advance(2);
    EXPECT_EQ(readState("headset"), "1\n");
    EXPECT_EQ(readState("dock"), "Undocked\n");
    EXPECT_EQ(ksim_gpio_reads(3), 1u);

    ksim_gpio_set(3, 1);
    ksim_advance(4);
    EXPECT_EQ(readState("dock"), "Undocked\n");
    ksim_advance(1);
    EXPECT_EQ(readState("dock"), "Docked\n");
    EXPECT_EQ(ksim_gpio_reads(4), 2u);

    // Removing one leaves the other working.
    ksim_device_remove(a);
    EXPECT_EQ(readState("dock"), "error -" + std::to_string(kENODEV));
    ksim_gpio_set(4, 0);
    ksim_gpio_set(4, 5);
    ksim_advance(2);
    EXPECT_EQ(readState("headset"), "5\n");
    EXPECT_EQ(ksim_gpio_held(), 1u);
    EXPECT_EQ(ksim_devres_count(b), 2u); // its data and its line
}

TEST(TrellowSim, PrintsTheDebouncedStatesOfABouncingPlug)
{
    qk::RunResult r = qk::run(
        {TRELLOW_SIM_PATH, "--on", "Docked", "--off", "Undocked", "load", "set",    "1",
         "wait",           "10",   "set",    "0",     "wait",     "10",   "set",    "1",
         "wait",           "60",   "set",    "0",     "wait",     "60",   "unload", "show"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "board: trellow.0 watches line 5, debounce 50 ms, state texts Docked/Undocked\n"
              "[    0 ms] load trellow: ok\n"
              "[    0 ms] line 5 -> 1\n"
              "[   10 ms] line 5 -> 0\n"
              "[   20 ms] line 5 -> 1\n"
              "[   50 ms] changed: /sys/class/extcon/dock/state: Docked\n"
              "[   80 ms] line 5 -> 0\n"
              "[  130 ms] changed: /sys/class/extcon/dock/state: Undocked\n"
              "[  140 ms] unload trellow: ok\n"
              "[  140 ms] read: /sys/class/extcon/dock/state: No such device\n");
}

TEST(TrellowSim, ShowsTheProbeErrorOfABoardWithoutTriggerFlags)
{
    qk::RunResult r = qk::run({TRELLOW_SIM_PATH, "--flags", "0", "load", "show"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "board: trellow.0 watches line 5, debounce 50 ms, state texts -/-\n"
              "[    0 ms] load trellow: ok\n"
              "[    0 ms] kernel: trellow.0: IRQ flag is not specified.\n"
              "[    0 ms] kernel: trellow: probe of trellow.0 failed with error -22\n"
              "[    0 ms] read: /sys/class/extcon/dock/state: No such device\n");
}

} // namespace
