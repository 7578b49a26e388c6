// The framework's start-up on its own, linked without the UI and the
// services: the parameters event brings the framework up, and the steps
// the libraries above add run at their places among the framework's own
// managers, in the order they were added, each once.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "dataman.h"
#include "framework-kd.h"
#include "fw-support.h"
#include "manager.h"

// Linked without the UI and the services, the program adds nothing.
void FwAddProgramSteps() {}

namespace {

std::vector<std::string> ran;

// A step that logs its own line, so the log gives the order against the
// framework's managers.
template <int N>
void Step() {
    std::string line = "step " + std::to_string(N);
    ran.push_back(line);
    kd->PrintDebugf(KD_LOG_SYSTEM, "%s\n", line.c_str());
}

void AddSteps() {
    Manager::AddStep(STEP_SHUTDOWN_LAST, Step<7>);
    Manager::AddStep(STEP_SHUTDOWN_UI, Step<6>);
    Manager::AddStep(STEP_INIT_TIMELINE, Step<5>);
    Manager::AddStep(STEP_INIT_SIZED, Step<4>);
    Manager::AddStep(STEP_INIT_SCREENS, Step<3>);
    Manager::AddStep(STEP_INIT_SERVICES, Step<2>);
    Manager::AddStep(STEP_INIT_SERVICES, Step<21>);
    Manager::AddStep(STEP_PRE_INIT, Step<1>);
    Manager::AddStep(STEP_INIT_SERVICES, Step<2>);  // once is enough
    Manager::AddStep(STEP_DRAW_OVERLAY, Step<8>);
}

std::vector<kd_event_t> seen_a, seen_b;

struct FrameworkAlone : ::testing::Test {
    FwEngine engine;
    kd_prog_t record;
    void SetUp() override {
        ASSERT_TRUE(engine.started);
        memset(&record, 0, sizeof record);
        strcpy(record.version, "4.5.6");
        ran.clear();
    }
    void TearDown() override { Manager::SetProgramRecord(nullptr); }
    // The engine's parameters event, with the table the program already
    // has.
    int SendParms() {
        kd_event_t ev;
        memset(&ev, 0, sizeof ev);
        ev.type = KD_EVENT_PARMS;
        ev.id = (intptr_t)kd;
        ev.x = (intptr_t)&record.parms;
        return Manager::ProcessParmsEvent(ev);
    }
};

}  // namespace

TEST_F(FrameworkAlone, StepsRunAtTheirPlacesAmongTheFrameworksManagers) {
    AddSteps();
    FwLog log;
    EXPECT_EQ(SendParms(), 0);
    EXPECT_EQ(Manager::GetProgramRecord(), &record);  // found around its parameters
    Manager::InitializeAll();
    Manager::RunSteps(STEP_DRAW_OVERLAY);
    Manager::Shutdown();

    EXPECT_EQ(ran, (std::vector<std::string>{"step 1", "step 2", "step 21", "step 3", "step 4", "step 5", "step 8",
                                             "step 6", "step 7"}));
    // The framework's own lines around them.
    const char* order[] = {"Manager::PreInitializeBeforeVideoInit.",
                           "PartBurstMan::Init.",
                           "step 1",
                           "Manager::InitializeAll.",
                           "step 2",
                           "Analyst::RegisterLuaFunctions.",
                           "step 3",
                           "step 4",
                           "step 5",
                           "Manager::Shutdown.",
                           "LocalizationManager::Shutdown.",
                           "step 6",
                           "LuaManager::Shutdown.",
                           "step 7"};
    const std::vector<std::string>& lines = log.Lines();
    size_t at = 0;
    for (const char* line : order) {
        while (at < lines.size() && lines[at].find(line) == std::string::npos) at++;
        EXPECT_LT(at, lines.size()) << line << " missing or out of order";
    }
}

TEST_F(FrameworkAlone, EventStepsTakeTheirTypesInTheOrderAdded) {
    Manager::AddEventStep(KD_EVENT_GC_FIRST, KD_EVENT_GC_LAST, [](kd_event_t* e) {
        seen_a.push_back(*e);
        ran.push_back("a");
    });
    Manager::AddEventStep(KD_EVENT_GC_LOGIN, KD_EVENT_GC_LOGIN, [](kd_event_t* e) {
        seen_b.push_back(*e);
        ran.push_back("b");
    });
    for (int type : {KD_EVENT_PARMS, KD_EVENT_GC_LOGIN, KD_EVENT_GC_SCORE_SUBMITTED, KD_EVENT_STORE_CREDITS}) {
        kd_event_t e;
        memset(&e, 0, sizeof e);
        e.type = type;
        Manager::SendEvent(&e);
    }
    EXPECT_EQ(ran, (std::vector<std::string>{"a", "b", "a"}));
    ASSERT_EQ(seen_a.size(), 2u);
    EXPECT_EQ(seen_a[1].type, KD_EVENT_GC_SCORE_SUBMITTED);
    ASSERT_EQ(seen_b.size(), 1u);
    EXPECT_EQ(seen_b[0].type, KD_EVENT_GC_LOGIN);
}

// The framework names only its own folders as the player's: a service's
// file is the player's once the service adds it, as are its damaged copies.
TEST_F(FrameworkAlone, PlayerFilesComeFromTheirOwners) {
    EXPECT_TRUE(IsPlayerFile("user://profiles/1.xml"));
    for (const char* name : {"user://leaderboards-db.xml", "user://local-in-app-purchases.xml", "user://a.dat"})
        EXPECT_FALSE(IsPlayerFile(name)) << name;
    AddPlayerFile("user://a.dat");
    for (const char* name : {"user://a.dat", "A.DAT", "user://a.dat.damaged", "a.dat.damaged-2"})
        EXPECT_TRUE(IsPlayerFile(name)) << name;
    EXPECT_FALSE(IsPlayerFile("user://a.dat.old"));
}

#ifndef NDEBUG
// A step added while the framework runs would miss its place: that is the
// program's mistake, and it stops there.
TEST_F(FrameworkAlone, AStepAddedAfterStartUpStops) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    AddSteps();
    SendParms();
    EXPECT_DEATH(Manager::AddStep(STEP_PRE_INIT, Step<99>), "KD_ASSERT");
    Manager::AddStep(STEP_PRE_INIT, Step<1>);  // already there: nothing to add, no stop
    Manager::Shutdown();
}
#endif
