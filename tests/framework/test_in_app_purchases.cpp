// In-app purchases: the store protocol with its screens and popups, the
// purchase record across restarts, a damaged record, and a record saved
// again and again under SIGKILL.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
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

// The platform's store: available, and otherwise silent. The engine's own
// commands (the atomic save's "RenameFile") go to the engine.
const char* StoreExtension(const char* command, const char* parameter) {
    if (strncmp(command, "IAP_", 4) != 0) return engine_extension(command, parameter);
    store().push_back(std::string(command) + (parameter ? std::string(" ") + parameter : ""));
    return strcmp(command, "IAP_IsAvailable") == 0 ? "yes" : nullptr;
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
    EXPECT_EQ(Send(Result(34, 0, "EXTRA_LIFE", 1)), 1);
    EXPECT_EQ(screens.calls,
              (std::vector<std::string>{"pop PurchaseInProgress", "msg IAPPopup Title=Success!",
                                        "msg IAPPopup Text=Extra Life purchased.", "push IAPPopup", "pop Unlocks"}));
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

TEST_F(Purchases, DamagedRecordIsSetAsideAndWhatCouldBeReadStaysBought) {
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

void WriteInt(int fd, int v) {
    if (write(fd, &v, sizeof v) != (ssize_t)sizeof v) _exit(5);
}

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

}  // namespace

TEST(PurchasesKill, EveryConfirmedPurchaseSurvivesAKill) {
    char tmpl[] = "/tmp/kodo-iap-kill-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    const std::string dir = tmpl;
    std::filesystem::create_directories(dir + "/app/native/in-app-purchases");
    WriteNative(dir + "/app/native/in-app-purchases/in-app-purchases.xml",
                "<root><array id=\"ITEMS\"><node id=\"ITEM_0\"/></array></root>");
    std::string audio = getenv("SDL_AUDIODRIVER") ? getenv("SDL_AUDIODRIVER") : "";
    setenv("SDL_AUDIODRIVER", "none", 1);
    std::mt19937 rng(20240612);
    std::uniform_int_distribution<int> delay(0, 4000);
    int confirmed = 0, landed = 0;
    const int kKills = 250;
    for (int k = 0; k < kKills; k++) {
        KillRound round = RunAndKill([&](int fd) { RunBuyer(dir, fd); }, (useconds_t)delay(rng));
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
    EXPECT_GT(landed, kKills / 10);  // kills landed while the child was buying
    EXPECT_GT(confirmed, 0);
    if (audio.empty())
        unsetenv("SDL_AUDIODRIVER");
    else
        setenv("SDL_AUDIODRIVER", audio.c_str(), 1);
    std::filesystem::remove_all(dir);
}
