#include <gtest/gtest.h>

#include "test-support.h"

TEST(InterfaceTable, EverySlotHoldsAnOperation) {
    kodo_t table;
    memset(&table, 0, sizeof table);
    KDI_SetBasicInterface(&table);
    void** slots = reinterpret_cast<void**>(&table);
    for (int i = 0; i < 124; i++) EXPECT_NE(slots[i], nullptr) << "slot " << i;
    ASSERT_NE(table.ext, nullptr);
    EXPECT_EQ(table.ext, KDIE_GetExtensionInterface());
    void** ext = reinterpret_cast<void**>(table.ext);
    for (int i = 0; i < 5; i++) EXPECT_NE(ext[i], nullptr) << "ext " << i;
    for (size_t i = 5; i < sizeof(kodo_ext_t) / sizeof(void*); i++) EXPECT_EQ(ext[i], nullptr) << "ext " << i;
    // Two bindings that do not follow the KD_ prefix rule.
    EXPECT_EQ((void*)table.Sleep, (void*)KDT_Sleep);
    EXPECT_EQ((void*)table.SetCursor, (void*)KDD_SetCursor);
    EXPECT_EQ((void*)table.PushTransform, (void*)KD_PushTransform);
    EXPECT_EQ((void*)table.SetRenderStatei, (void*)KD_SetRenderStatei);
}

TEST(InterfaceTable, EventRecordKeepsItsFieldOrder) {
    EXPECT_LT(offsetof(kd_event_t, type), offsetof(kd_event_t, id));
    EXPECT_LT(offsetof(kd_event_t, y), offsetof(kd_event_t, button));
    EXPECT_LT(offsetof(kd_event_t, wheel), offsetof(kd_event_t, prev_x));
    EXPECT_LT(offsetof(kd_event_t, prev_y), offsetof(kd_event_t, data));
    EXPECT_GE(sizeof(((kd_event_t*)0)->id), sizeof(void*));
}

class ProgramRecord : public ::testing::Test {
protected:
    TempWorkDir dir;
    void SetUp() override { ResetTestProg(); }
};

TEST_F(ProgramRecord, MatchingVersionIsUsedWithFrameTime8) {
    kd_prog_t* record = KD_GetInterface();
    ASSERT_TRUE(KDI_LoadProgImp());
    EXPECT_EQ(kd_prog, record);
    EXPECT_FALSE(kd_state.incompatible_program_replaced);
    EXPECT_EQ(kd_prog->parms.frame_ms, 8);
    EXPECT_EQ(kd_prog->kd, kd);
    EXPECT_NE(kd_prog->parms.command_line, nullptr);
}

// The report comes before the console exists; it reaches the log file once
// the log opens (the capture sees what the file gets).
TEST_F(ProgramRecord, OtherVersionsGetTheNullProgramAndAReport) {
    for (int version : {1200, 1202}) {
        KDI_ClearState();
        test_prog.version = version;
        LogCapture log(LogCapture::kLogFile);
        KDI_KeepEarlyLogLines();
        ASSERT_TRUE(KDI_LoadProgImp());
        EXPECT_TRUE(log.lines.empty());  // no log yet
        strcpy(kd_state.developer, "Dev");
        strcpy(kd_state.title, "Game");
        kd_state.console_enabled = kd_state.logging = true;
        KDI_CreateFileOpeners();
        KDI_InitFileSystem();
        KDI_InitConsole();
        KDI_FreeConsole();
        KDI_FreeFileOpeners();
        EXPECT_TRUE(kd_state.incompatible_program_replaced);
        EXPECT_EQ(kd_prog->parms.frame_ms, 8);
        EXPECT_FALSE(kd_prog->parms.developer_mode);
        char expected[128];
        snprintf(expected, sizeof expected, "KD: Program library uses incompatible KODO interface (%d instead of 1201)",
                 version);
        EXPECT_TRUE(log.Contains(expected)) << version;
        kd_event_t e;
        memset(&e, 0, sizeof e);
        e.type = KD_EVENT_KEY_DOWN;
        EXPECT_EQ(kd_prog->EventProc(e), 0);
        EXPECT_TRUE(kd_prog->Init());
        EXPECT_TRUE(kd_prog->parms.windowed);
        EXPECT_EQ(kd_prog, KDI_GetNullProg());  // (refills the record: checked last)
    }
}

TEST_F(ProgramRecord, NullProgramRunsFramesAndShutsDownKeepingItsRecord) {
    test_prog.version = 1202;
    ASSERT_TRUE(StartEngine());
    EXPECT_TRUE(kd_state.incompatible_program_replaced);
    kd_state.active = true;
    KDI_Frame(8);
    KDI_Frame(8);
    EXPECT_EQ(test_prog.init_calls, 0);  // the incompatible program never runs
    StopEngine();
    EXPECT_NE(kd_prog, nullptr);  // kept for the incompatible program
}

TEST(IdentityFields, LongTextsAreCutAndTitlesMadeSafe) {
    char field[32];
    memset(field, 'Z', sizeof field);
    std::string longtext(200, 'd');
    KDI_CopyIdentityField(field, sizeof field, longtext.c_str(), false);
    EXPECT_EQ(strlen(field), 31u);
    KDI_CopyIdentityField(field, sizeof field, "My Game! v-2", true);
    EXPECT_STREQ(field, "My_Game__v-2");
    KDI_CopyIdentityField(field, sizeof field, "Dev Name!", false);
    EXPECT_STREQ(field, "Dev Name!");  // the developer keeps its text
    KDI_CopyIdentityField(field, sizeof field, nullptr, true);
    EXPECT_STREQ(field, "");
}

TEST(IdentityFields, PreInitBuildsTheUserFolderFromThem) {
    TempWorkDir dir;
    ResetTestProg();
    test_prog.title = "Worm Game!";
    test_prog.developer = "";
    ASSERT_TRUE(StartEngine());
    EXPECT_STREQ(kd_state.developer, "Vantreo");
    EXPECT_STREQ(kd_state.title, "Worm_Game_");
    StopEngine();
    EXPECT_EQ(access("data/Vantreo/Worm_Game_", F_OK), 0);
}
