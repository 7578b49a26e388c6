// In-app purchases: the store protocol with its screens and popups, the
// purchase record across restarts, a damaged record, and a record saved
// again and again under SIGKILL.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "kill-round.h"
#include "luaman.h"
#include "recording-kd.h"
#include "services-fixture.h"

namespace {

const char* kItems =
    "<?xml version=\"1.0\"?>\n<root>\n<array id=\"ITEMS\">\n"
    "<node id=\"BIG_BALL\" name=\"Big Ball\" price=\"$0.99\" desc=\"A big tail.\"/>\n"
    "<node id=\"EXTRA_LIFE\" name=\"Extra Life\" price=\"$0.99\" desc=\"One more life.\"/>\n"
    "<node id=\"COINS\" price=\"$1.99\"/>\n"
    "</array>\n</root>\n";

std::vector<std::string>& store() { return rec().calls; }

const char* (*engine_extension)(const char*, const char*) = nullptr;
bool store_open = true;  // what "IAP_IsAvailable" answers

// The platform's store: available, and otherwise silent. The engine's own
// commands (the atomic save's "RenameFile") go to the engine.
const char* StoreExtension(const char* command, const char* parameter) {
    if (strncmp(command, "IAP_", 4) != 0) return engine_extension(command, parameter);
    store().push_back(std::string(command) + (parameter ? std::string(" ") + parameter : ""));
    return strcmp(command, "IAP_IsAvailable") == 0 && store_open ? "yes" : nullptr;
}

// A store result as the platform layer delivers it.
kd_event_t Result(int type, intptr_t id, const char* x, intptr_t y, const char* fifth = nullptr) {
    kd_event_t e;
    memset(&e, 0, sizeof e);
    e.type = type;
    e.id = id;
    e.x = (intptr_t)x;
    e.y = y;
    e.data = (intptr_t)fifth;
    return e;
}

struct Purchases : ::testing::Test {
    ServicesEnv env{{{"in-app-purchases/in-app-purchases.xml", kItems}}};
    FakeScreens screens;
    RecordingKd r{kd};
    void SetUp() override {
        engine_extension = r.table.CallExtension;
        store_open = true;
        r.table.CallExtension = StoreExtension;
        r.Install();
        ASSERT_TRUE(lua_man.Initialize());
        env.Profile("Ann");
    }
    void TearDown() override { lua_man.Shutdown(); }
    int Send(kd_event_t e) { return iap_man.ProcessEvent(&e); }
    std::string Record() const { return ReadNative(env.User("local-in-app-purchases.xml")); }
    std::string Lua(const std::string& call) { return ServiceLua(call); }
};

}  // namespace

TEST_F(Purchases, UninitialisedServiceAnswersNothing) {
    kd_event_t e = Result(34, 0, "BIG_BALL", 1);
    EXPECT_EQ(iap_man.ProcessEvent(&e), 0);
    iap_man.PurchaseItem("BIG_BALL");
    EXPECT_FALSE(iap_man.IsItemPurchased("BIG_BALL"));
    EXPECT_EQ(iap_man.GetItemValue("BIG_BALL", "name"), nullptr);
    EXPECT_TRUE(store().empty());
    EXPECT_TRUE(screens.calls.empty());
    // Definitions without ITEMS: the service stays off.
    WriteNative(env.dir + "/app/native/in-app-purchases/in-app-purchases.xml", "<root><array id=\"X\"/></root>");
    EXPECT_FALSE(iap_man.Initialize());
    EXPECT_FALSE(iap_man.IsInitialized());
}

TEST_F(Purchases, StoreProtocolScreensAndPopups) {
    ASSERT_TRUE(iap_man.Initialize());
    EXPECT_EQ(store(), std::vector<std::string>{"IAP_RequestItemData BIG_BALL,EXTRA_LIFE,COINS"});
    EXPECT_EQ(Lua("IAP_GetNumberOfCredits()"), "?");
    EXPECT_EQ(Lua("IAP_GetItemName('BIG_BALL')"), "Big Ball");
    EXPECT_EQ(Lua("IAP_GetItemName('COINS')"), "nil");
    EXPECT_EQ(Lua("IAP_GetItemDescription('EXTRA_LIFE')"), "One more life.");
    EXPECT_EQ(Lua("IAP_IsOffersSupported()"), "false");

    // Two purchases before any result: one progress screen; the first
    // success keeps it and shows nothing, the second shows the popup.
    screens.stack = {"MainMenu", "Unlocks"};
    store().clear();
    Lua("IAP_PurchaseItem('BIG_BALL')");
    iap_man.PurchaseItem("EXTRA_LIFE");
    EXPECT_EQ(store(), (std::vector<std::string>{"IAP_IsAvailable", "IAP_PurchaseItem BIG_BALL", "IAP_IsAvailable",
                                                 "IAP_PurchaseItem EXTRA_LIFE"}));
    EXPECT_EQ(screens.calls, std::vector<std::string>{"push PurchaseInProgress"});
    EXPECT_EQ(iap_man.GetNumberOfPendingPurchases(), 2);
    EXPECT_EQ(Send(Result(34, 0, "BIG_BALL", 0x101)), 1);  // only the low byte counts
    EXPECT_EQ(screens.Top(), "PurchaseInProgress");
    EXPECT_TRUE(iap_man.IsItemPurchased("BIG_BALL"));
    EXPECT_NE(Record().find("id=\"BIG_BALL\" store_ack=\"1\""), std::string::npos);  // saved at once
    screens.calls.clear();
    // The disk takes no file: the purchase is told, and then that it was
    // not saved.
    const std::string blocked = env.User("local-in-app-purchases.xml.tmp");
    ASSERT_TRUE(std::filesystem::create_directory(blocked));
    EXPECT_EQ(Send(Result(34, 0, "EXTRA_LIFE", 1)), 1);
    std::filesystem::remove(blocked);
    EXPECT_EQ(screens.calls,
              (std::vector<std::string>{"pop PurchaseInProgress", "msg IAPPopup Title=Success!",
                                        "msg IAPPopup Text=Extra Life purchased.", "push IAPPopup", "pop Unlocks",
                                        "msg PopupOk text=PURCHASE_NOT_SAVED", "push PopupOk"}));
    EXPECT_EQ(Lua("IAP_IsItemPurchased('EXTRA_LIFE')"), "true");
    // Bought already: nothing more is asked of the store.
    store().clear();
    iap_man.PurchaseItem("BIG_BALL");
    EXPECT_EQ(store(), std::vector<std::string>{});
    // Unknown items are refused (the popup only in developer mode).
    iap_man.PurchaseItem("NOPE");
    EXPECT_EQ(iap_man.GetNumberOfPendingPurchases(), 0);

    // Failures: not enough credits, not possible now, cancelled.
    const char* expected[][2] = {{"Not purchased.", "Not enough credits."},
                                 {"Please try again", "Unable to make purchase at this time."}};
    for (int reason = 2; reason <= 3; reason++) {
        screens.stack = {"MainMenu"};
        iap_man.PurchaseItem("COINS");
        screens.calls.clear();
        EXPECT_EQ(Send(Result(34, reason, "COINS", 0)), 1);
        EXPECT_EQ(screens.calls,
                  (std::vector<std::string>{
                      "pop PurchaseInProgress", std::string("msg IAPPopup Title=") + expected[reason - 2][0],
                      std::string("msg IAPPopup Text=") + expected[reason - 2][1], "push IAPPopup"}));
    }
    iap_man.PurchaseItem("COINS");
    screens.calls.clear();
    Send(Result(34, 4, "COINS", 0));
    EXPECT_EQ(screens.calls, (std::vector<std::string>{"pop PurchaseInProgress", "pop IAPPopup"}));
    // A result with nothing pending shows nothing.
    screens.calls.clear();
    Send(Result(34, 2, "COINS", 0));
    EXPECT_TRUE(screens.calls.empty());
    EXPECT_FALSE(iap_man.IsItemPurchased("COINS"));

    // Item data: the store's price replaces the definition's; an
    // unconfirmed item stays unbought; a confirmed one is a restore.
    EXPECT_EQ(Send(Result(33, 0, "COINS", 0, "2,49 EUR")), 1);
    EXPECT_EQ(Lua("IAP_GetItemPrice('COINS')"), "2,49 EUR");
    EXPECT_EQ(Lua("IAP_GetItemPrice('BIG_BALL')"), "$0.99");
    EXPECT_FALSE(iap_man.IsItemPurchased("COINS"));
    iap_man.RestorePurchases();
    EXPECT_EQ(screens.Top(), "PurchaseInProgress");
    Send(Result(33, 0, "COINS", 1));
    EXPECT_NE(screens.Top(), "PurchaseInProgress");
    EXPECT_TRUE(iap_man.IsItemPurchased("COINS"));

    // Credit balances: type 32 leaves the event to others, 35 takes it.
    EXPECT_EQ(Send(Result(32, 1, "12", 0)), 0);
    EXPECT_EQ(Lua("IAP_GetNumberOfCredits()"), "12");
    EXPECT_EQ(Send(Result(32, 2, "99", 0)), 0);
    EXPECT_EQ(Send(Result(35, 0, nullptr, 0, "15")), 1);
    EXPECT_EQ(iap_man.GetNumberOfCredits().text, std::string("15"));
    std::string longText(5000, 'z');
    Send(Result(35, 0, nullptr, 0, longText.c_str()));
    EXPECT_EQ(strlen(iap_man.GetNumberOfCredits().text), (size_t)InAppPurchasesManager::kMaxText);
}

// A purchase the store could not take is not pending: the next real
// success ends the progress screen with its popup. An item whose id is
// longer than the store's events carry is never offered or sold.
TEST_F(Purchases, OnlyRequestsTheStoreGotArePendingAndOverlongIdsAreNotSold) {
    std::string overlong(InAppPurchasesManager::kMaxItemId + 1, 'L');
    WriteNative(env.dir + "/app/native/in-app-purchases/in-app-purchases.xml",
                "<root><array id=\"ITEMS\"><node id=\"BIG_BALL\" name=\"Big Ball\"/><node id=\"" + overlong +
                    "\"/><node id=\"COINS\"/></array></root>");
    ASSERT_TRUE(iap_man.Initialize());
    EXPECT_EQ(store(), std::vector<std::string>{"IAP_RequestItemData BIG_BALL,COINS"});
    EXPECT_TRUE(rec().DebugContains("item 2 of 'in-app-purchases/in-app-purchases.xml' is refused"));
    store().clear();
    iap_man.PurchaseItem(overlong.c_str());
    EXPECT_TRUE(store().empty());

    store_open = false;
    iap_man.PurchaseItem("BIG_BALL");
    EXPECT_EQ(iap_man.GetNumberOfPendingPurchases(), 0);
    EXPECT_EQ(store(), std::vector<std::string>{"IAP_IsAvailable"});
    EXPECT_EQ(screens.calls,
              (std::vector<std::string>{"msg IAPPopup Title=Please try again",
                                        "msg IAPPopup Text=Unable to make purchase at this time.", "push IAPPopup"}));
    // A restore is answered the same way, at once, with no progress screen.
    store().clear();
    screens.stack = {"MainMenu"};
    screens.calls.clear();
    iap_man.RestorePurchases();
    EXPECT_EQ(store(), std::vector<std::string>{"IAP_IsAvailable"});
    EXPECT_EQ(screens.calls, (std::vector<std::string>{"msg IAPPopup Title=Please try again",
                                                       "msg IAPPopup Text=Unable to restore purchases at this time.",
                                                       "push IAPPopup"}));
    store_open = true;
    screens.stack = {"MainMenu"};
    screens.calls.clear();
    iap_man.PurchaseItem("BIG_BALL");
    EXPECT_EQ(iap_man.GetNumberOfPendingPurchases(), 1);
    Send(Result(34, 0, "BIG_BALL", 1));
    EXPECT_EQ(screens.calls, (std::vector<std::string>{"push PurchaseInProgress", "pop PurchaseInProgress",
                                                       "msg IAPPopup Title=Success!",
                                                       "msg IAPPopup Text=Big Ball purchased.", "push IAPPopup"}));
}

TEST_F(Purchases, BadIdsFromTheStoreAreRefusedAndActiveFlagsDefaultOn) {
    ASSERT_TRUE(iap_man.Initialize());
    std::string huge(5000, 'x');
    iap_man.PurchaseItem("BIG_BALL");
    for (const char* id : {(const char*)nullptr, "", huge.c_str()}) {
        EXPECT_EQ(Send(Result(33, 0, id, 1, "1")), 1);
        EXPECT_EQ(Send(Result(34, 0, id, 1)), 1);
    }
    EXPECT_EQ(iap_man.GetNumberOfPendingPurchases(), 0);  // the bad success ended the purchase
    EXPECT_EQ(Record().find("xxxx"), std::string::npos);
    EXPECT_EQ(Record().find("id=\"\""), std::string::npos);

    Send(Result(34, 0, "BIG_BALL", 1));
    // Bought and never asked about: on, and the profile now says so.
    EXPECT_EQ(prof->GetValue("ACTIVE_IAPS", "BIG_BALL", "active"), nullptr);
    EXPECT_TRUE(iap_man.IsItemPurchasedAndActiveForCurrentProfile("BIG_BALL"));
    EXPECT_STREQ(prof->GetValue("ACTIVE_IAPS", "BIG_BALL", "active"), "1");
    prof->SetValue("ACTIVE_IAPS", "BIG_BALL", "active", "0");
    EXPECT_FALSE(iap_man.IsItemPurchasedAndActiveForCurrentProfile("BIG_BALL"));
    EXPECT_FALSE(iap_man.IsItemPurchasedAndActiveForCurrentProfile("EXTRA_LIFE"));

    // What was bought is bought after a restart.
    iap_man.Reset();
    ASSERT_TRUE(iap_man.Initialize());
    EXPECT_TRUE(iap_man.IsItemPurchased("BIG_BALL"));
    EXPECT_FALSE(iap_man.IsItemPurchased("EXTRA_LIFE"));
}

TEST_F(Purchases, DamagedRecordIsCopiedAsideAndWhatCouldBeReadStaysBought) {
    std::string cut =
        "<?xml version=\"1.0\"?>\n<root>\n<array id=\"purchases\">\n"
        "<node id=\"BIG_BALL\" store_ack=\"1\" price=\"$0.99\"/>\n"
        "<node id=\"COINS\" store_ack=\"1\"/>\n"
        "<node id=\"EXTRA_LIFE\" store_ack=\"1";
    WriteNative(env.User("local-in-app-purchases.xml"), cut);
    ASSERT_TRUE(iap_man.Initialize());
    EXPECT_TRUE(rec().DebugContains("In-app purchase record: 2 purchases read from the damaged file."));
    EXPECT_TRUE(rec().DebugContains("is kept as 'user://local-in-app-purchases.xml.damaged'"));
    EXPECT_EQ(ReadNative(env.User("local-in-app-purchases.xml.damaged")), cut);
    EXPECT_TRUE(iap_man.IsItemPurchased("BIG_BALL"));
    EXPECT_TRUE(iap_man.IsItemPurchased("COINS"));
    EXPECT_FALSE(iap_man.IsItemPurchased("EXTRA_LIFE"));  // its node was cut
    EXPECT_STREQ(iap_man.GetItemValue("BIG_BALL", "price"), "$0.99");
    // Saved at once: the next start reads them from a whole file.
    iap_man.Reset();
    rec().Clear();
    ASSERT_TRUE(iap_man.Initialize());
    EXPECT_TRUE(iap_man.IsItemPurchased("BIG_BALL") && iap_man.IsItemPurchased("COINS"));
    EXPECT_FALSE(rec().DebugContains("damaged"));

    // A whole file without the array: nothing is bought, its other arrays
    // survive the next save.
    iap_man.Reset();
    WriteNative(env.User("local-in-app-purchases.xml"),
                "<root><array id=\"other\"><node id=\"a\" v=\"1\"/></array></root>");
    ASSERT_TRUE(iap_man.Initialize());
    EXPECT_FALSE(iap_man.IsItemPurchased("BIG_BALL"));
    Send(Result(34, 0, "EXTRA_LIFE", 1));
    EXPECT_NE(Record().find("<array id=\"other\">"), std::string::npos);
    EXPECT_NE(Record().find("EXTRA_LIFE"), std::string::npos);
}

// ---------------------------------------------------------------------------
// A child process confirms purchase after purchase, each saved with the
// whole record, and is killed with SIGKILL at random moments. After every
// kill the record must load whole and hold every purchase the child had
// reported as confirmed.

namespace {

[[noreturn]] void RunBuyer(const std::string& dir, int fd) {
    FwEngine engine(dir);
    if (!engine.started || !iap_man.Initialize()) _exit(3);
    int next = 0;
    while (iap_man.IsItemPurchased(("ITEM_" + std::to_string(next)).c_str())) next++;
    WriteInt(fd, next);  // ready: the first item not yet bought
    for (;; next++) {
        std::string id = "ITEM_" + std::to_string(next);
        kd_event_t e = Result(34, 0, id.c_str(), 1);
        iap_man.ProcessEvent(&e);
        WriteInt(fd, next + 1);  // confirmed: ITEM_0 .. ITEM_next are saved
    }
}

KILL_CHILD(RunBuyer);

}  // namespace

// A data folder with one item defined, and the sound off, for the
// children and the parent's checks.
struct KillFolder {
    std::string dir;
    std::string audio = getenv("SDL_AUDIODRIVER") ? getenv("SDL_AUDIODRIVER") : "";
    KillFolder() {
        char tmpl[] = "/tmp/kodo-iap-kill-XXXXXX";
        dir = mkdtemp(tmpl) ? tmpl : "";
        std::filesystem::create_directories(dir + "/app/native/in-app-purchases");
        WriteNative(dir + "/app/native/in-app-purchases/in-app-purchases.xml",
                    "<root><array id=\"ITEMS\"><node id=\"ITEM_0\"/></array></root>");
        setenv("SDL_AUDIODRIVER", "none", 1);
    }
    ~KillFolder() {
        if (audio.empty())
            unsetenv("SDL_AUDIODRIVER");
        else
            setenv("SDL_AUDIODRIVER", audio.c_str(), 1);
        std::filesystem::remove_all(dir);
    }
};

TEST(PurchasesKill, EveryConfirmedPurchaseSurvivesAKill) {
    KillFolder folder;
    const std::string& dir = folder.dir;
    std::mt19937 rng(20240612);
    std::uniform_int_distribution<int> delay(0, 4000);
    int confirmed = 0, landed = 0;
    const int kKills = KillRounds() * 5 / 4;  // 250 by default
    for (int k = 0; k < kKills; k++) {
        // Every other round lets one save finish first, so that a machine
        // too busy to finish any within the delay still lands kills among
        // the saves.
        KillRound round = RunAndKill(RunBuyer, dir, (useconds_t)delay(rng), k % 2);
        ASSERT_EQ(round.failure, "") << "kill " << k;
        int start = round.start, last = round.last;
        EXPECT_GE(start, confirmed) << "kill " << k;  // nothing confirmed before was lost
        if (last > start) landed++;

        FwEngine engine(dir);
        ASSERT_TRUE(engine.started);
        FwLog log;
        iap_man.Reset();
        ASSERT_TRUE(iap_man.Initialize());
        for (int i = 0; i < last; i++)
            ASSERT_TRUE(iap_man.IsItemPurchased(("ITEM_" + std::to_string(i)).c_str()))
                << "kill " << k << " item " << i;
        EXPECT_FALSE(log.Contains("damaged"));
        ASSERT_FALSE(std::filesystem::exists(engine.UserPath("local-in-app-purchases.xml.damaged")));
        confirmed = last;
        iap_man.Reset();
    }
    printf("landed %d confirmed %d\n", landed, confirmed);
    // Kills must land while the child is buying; a handful of rounds
    // (ThreadSanitizer's) may land none.
    if (kKills >= 10) {
        EXPECT_GT(landed, kKills / 10);
        EXPECT_GT(confirmed, 0);
    }
}

// The recovery of a damaged record under SIGKILL: a child recovers the
// record again and again (the damaged file put back, by a rename, after
// each recovery) and is killed at a random moment. After every kill the
// record on disk is either the damaged file as it was or a whole one, the
// purchases read from it are still bought, and one copy of it is kept.

namespace {

const char* kDamagedRecord =
    "<?xml version=\"1.0\"?>\n<root>\n<array id=\"purchases\">\n"
    "<node id=\"ITEM_0\" store_ack=\"1\" price=\"$0.99\"/>\n"
    "<node id=\"ITEM_1\" store_ack=\"1\"/>\n"
    "<node id=\"ITEM_2\" store_ack=\"1";

// Writes 2n+1 as recovery n begins and 2n+2 once it is saved.
[[noreturn]] void RunRecoverer(const std::string& dir, int fd) {
    FwEngine engine(dir);
    if (!engine.started) _exit(3);
    const std::string record = engine.UserPath("local-in-app-purchases.xml"), spare = record + ".spare";
    WriteInt(fd, 0);
    for (int n = 1;; n += 2) {
        WriteInt(fd, n);
        if (!iap_man.Initialize()) _exit(4);
        WriteInt(fd, n + 1);
        iap_man.Reset();
        WriteNative(spare, kDamagedRecord);
        if (rename(spare.c_str(), record.c_str()) != 0) _exit(6);
    }
}

KILL_CHILD(RunRecoverer);

}  // namespace

TEST(PurchasesKill, ADamagedRecordsRecoverySurvivesAKill) {
    KillFolder folder;
    std::mt19937 rng(20261207);
    std::uniform_int_distribution<int> delay(0, 6000);
    int in_recovery = 0, in_save = 0;
    const int kKills = KillRounds();
    for (int k = 0; k < kKills; k++) {
        {
            FwEngine engine(folder.dir);
            WriteNative(engine.UserPath("local-in-app-purchases.xml"), kDamagedRecord);
        }
        KillRound round = RunAndKill(RunRecoverer, folder.dir, (useconds_t)delay(rng));
        ASSERT_EQ(round.failure, "") << "kill " << k;
        if (round.last % 2 == 1) in_recovery++;

        FwEngine engine(folder.dir);
        ASSERT_TRUE(engine.started);
        const std::string record = engine.UserPath("local-in-app-purchases.xml");
        if (std::filesystem::exists(record + ".tmp") || std::filesystem::exists(record + ".damaged.tmp")) in_save++;
        ASSERT_TRUE(std::filesystem::exists(record)) << "kill " << k;
        std::string left = ReadNative(record);
        FwLog log;
        iap_man.Reset();
        ASSERT_TRUE(iap_man.Initialize());
        // The damaged file as it was, recovered again now; or the saved record.
        EXPECT_EQ(log.Contains("damaged"), left == kDamagedRecord) << "kill " << k << ":\n" << left;
        EXPECT_TRUE(iap_man.IsItemPurchased("ITEM_0") && iap_man.IsItemPurchased("ITEM_1")) << "kill " << k;
        EXPECT_STREQ(iap_man.GetItemValue("ITEM_0", "price"), "$0.99");
        EXPECT_FALSE(iap_man.IsItemPurchased("ITEM_2"));
        iap_man.Reset();
        EXPECT_EQ(ReadNative(record + ".damaged"), kDamagedRecord);
        ASSERT_FALSE(std::filesystem::exists(record + ".damaged-2")) << "kill " << k;
    }
    printf("%d kills: %d inside a recovery, %d of them inside a save (a temporary file left)\n", kKills, in_recovery,
           in_save);
    if (kKills >= 10) {
        EXPECT_GT(in_recovery, kKills / 10);
    }
}

// A kill test's parent has had engines, whose threads may still be there
// when a child starts; the child starts threads of its own (an engine
// does), which a child forked from threads may not do under the thread
// sanitizer.

namespace {

[[noreturn]] void RunThreadStarter(const std::string&, int fd) {
    std::thread([] {}).join();
    WriteInt(fd, 1);
    for (;;) pause();
}

KILL_CHILD(RunThreadStarter);

}  // namespace

TEST(PurchasesKill, AChildStartsThreadsWhileTheParentRunsOne) {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread waiting([&] {
        std::unique_lock<std::mutex> hold(m);
        cv.wait(hold, [&] { return done; });
    });
    KillRound round = RunAndKill(RunThreadStarter, "", 0);
    {
        std::lock_guard<std::mutex> hold(m);
        done = true;
    }
    cv.notify_one();
    waiting.join();
    EXPECT_EQ(round.failure, "");
    EXPECT_EQ(round.start, 1);
}
