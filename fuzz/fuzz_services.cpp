// Fuzzes the files of the player services that come from outside the
// program: the purchase record "user://local-in-app-purchases.xml" (the
// player's, possibly damaged) and the achievement definitions
// "achievements/achievements.xml". The first byte chooses the file, the
// rest is its contents.
//
// Purchase record: a record that loads keeps every purchase; one that
// does not is copied aside unchanged, and the purchases still readable in it
// stay bought. Either way, what is bought stays bought through a further
// purchase, its save and a reload.
//
// Definitions: every achievement unlocks, shows its bar and reads its
// values without harm, whatever its id, name or icon.
//
// Play log: the player's play log, whatever it holds, repeated to just
// under or over its cap; one more event keeps it under the cap, ending with
// the event's line, and what is left of the old log is its newest part.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <set>
#include <string>

#include "analytics.h"
#include "feature-manager.h"
#include "profiles.h"
#include "services/achievements.h"
#include "services/in-app-purchases.h"

kodo_t* FuzzEngineSetup();

namespace {

// Bitmaps are the engine's business (fuzz_png and the others): icons here
// are one stand-in record.
kd_bitmap_t icon_stand_in;
kd_bitmap_t* StandIn(const char*, int) { return &icon_stand_in; }
kd_bitmap_t* StandInGet(const char*) { return &icon_stand_in; }
void NoRelease(kd_bitmap_t*) {}

kodo_t table;

void Write(const char* path, const uint8_t* data, size_t size) {
    kd_file_t* f = kd->OpenFile(path, "wb");
    if (!f) abort();
    if (size) kd->WriteFile(data, (unsigned)size, f);
    kd->CloseFile(f);
}

std::string Read(const char* path, bool* found) {
    kd_file_t* f = kd->OpenFile(path, "rb");
    *found = f != nullptr;
    std::string s;
    if (!f) return s;
    char chunk[4096];
    for (unsigned got; (got = kd->ReadFile(chunk, sizeof chunk, f)) > 0;) s.append(chunk, got);
    kd->CloseFile(f);
    return s;
}

std::set<std::string> Bought() {
    std::set<std::string> ids;
    DMDatabase* db = dman.GetDatabase(InAppPurchasesManager::kRecordFile);
    DMArray* a = db->GetArray("purchases");
    for (int i = 0; a && i < a->GetSize(); i++) {
        const char* id = a->GetNode(i)->GetId();
        if (id && iap_man.IsItemPurchased(id)) ids.insert(id);
    }
    return ids;
}

void PurchaseRecord(const uint8_t* data, size_t size) {
    const char* damaged = "user://local-in-app-purchases.xml.damaged";
    kd->DeleteFile(damaged);
    iap_man.Reset();
    Write(InAppPurchasesManager::kRecordFile, data, size);
    if (!iap_man.Initialize()) abort();
    bool set_aside = false;
    std::string aside = Read(damaged, &set_aside);
    // What was copied aside is exactly what the player had.
    if (set_aside && aside != std::string((const char*)data, size)) abort();
    std::set<std::string> before = Bought();
    for (const std::string& id : before) {
        iap_man.GetItemValue(id.c_str(), "price");
        iap_man.IsItemPurchasedAndActiveForCurrentProfile(id.c_str());
    }
    // One more purchase, saved with the whole record, and a reload.
    kd_event_t e;
    memset(&e, 0, sizeof e);
    e.type = 34;
    e.x = (intptr_t) "BIG_BALL";
    e.y = 1;
    iap_man.PurchaseItem("BIG_BALL");
    iap_man.ProcessEvent(&e);
    before.insert("BIG_BALL");
    iap_man.Reset();
    if (!iap_man.Initialize()) abort();
    std::set<std::string> after = Bought();
    for (const std::string& id : before)
        if (!after.count(id)) {
            fprintf(stderr, "purchase '%s' lost\n", id.c_str());
            abort();
        }
}

void Definitions(const uint8_t* data, size_t size) {
    achievement_man.Reset();
    Write("user://achievements/achievements.xml", data, size);
    if (prof) prof->RemoveCategory("ACHIEVEMENTS");
    achievement_man.Initialize();
    DMDatabase* db = dman.GetDatabase(AchievementManager::kDefinitionsFile);
    DMArray* a = db->GetArray("ACHIEVEMENTS");
    for (int i = 0; a && i < a->GetSize() && i < 64; i++) {
        const char* id = a->GetNode(i)->GetId();
        achievement_man.UnlockAchievement(id);
        achievement_man.IsAchievementUnlocked(id);
        achievement_man.GetAchievementValue(id, "name");
        achievement_man.GetAchievementValue(id, "icon");
    }
    for (int i = 0; i < achievement_man.GetNumberOfUnlockedAchievements(); i++)
        achievement_man.GetUnlockedAchievementByIndex(i);
    for (int frame = 0; frame < 8 && achievement_man.GetNumberOfQueuedPopups(); frame++) {
        achievement_man.DrawAchievementPopups();
        achievement_man.UpdateAchievementPopups(1.0f);
    }
    achievement_man.Reset();
}

void PlayLog(const uint8_t* data, size_t size) {
    if (size < 2) return;
    // The first byte sets how far past the cap the repeated log reaches.
    std::string piece((const char*)data + 1, size - 1), old;
    size_t want = (1u << 20) - 600 + (size_t)data[0] * 4;
    while (old.size() < want) old += piece;
    old.resize(want);
    Write("user://logs/playlog-Fuzz.csv", (const uint8_t*)old.data(), old.size());
    analyst.LogEvent("FUZZ");
    bool found = false;
    std::string now = Read("user://logs/playlog-Fuzz.csv", &found);
    if (!found || now.size() > (1u << 20) || now.size() < 5 || now.compare(now.size() - 5, 5, "FUZZ\n") != 0) abort();
    std::string kept = now.substr(0, now.size() - 5);
    if (old.compare(old.size() - kept.size(), kept.size(), kept) != 0) abort();
}

}  // namespace

// Once, before the first input, so that its allocations are not taken
// for leaks of an input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    table = *FuzzEngineSetup();
    table.LoadBitmap = StandIn;
    table.GetBitmap = StandInGet;
    table.ReleaseBitmap = NoRelease;
    kd = &table;
    icon_stand_in.name = (char*)"icon.png";
    icon_stand_in.width = icon_stand_in.height = 64;
    kd->AddSearchPath("user://", true);
    atexit([] { kd->RemoveSearchPath("user://"); });
    kd->CreateDirectory("user://in-app-purchases");
    kd->CreateDirectory("user://achievements");
    const char* items = "<root><array id=\"ITEMS\"><node id=\"BIG_BALL\" name=\"Big Ball\"/></array></root>";
    Write("user://in-app-purchases/in-app-purchases.xml", (const uint8_t*)items, strlen(items));
    kd->CreateDirectory("user://profiles");
    profile_man.LoadProfiles();
    profile_man.SelectOrCreateProfile("Fuzz");
    feature_man.SetFeatureList("ANALYST_LOCAL_STORE");
    kd->CreateDirectory("user://logs");
    analyst.Initialize();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    if (data[0] % 3 == 2)
        PlayLog(data + 1, size - 1);
    else if (data[0] & 1)
        Definitions(data + 1, size - 1);
    else
        PurchaseRecord(data + 1, size - 1);
    return 0;
}
