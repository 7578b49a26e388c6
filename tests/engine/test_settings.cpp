// Program settings: identity, parameters, developer section, variants,
// features, and refusal of unusable values.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "kd-settings.h"
#include "kd-xmldb.h"
#include "test-support.h"

namespace {

const char* kSample = R"(<?xml version="1.0" encoding="iso-8859-1"?>
<root>
	<array id="PARAMETERS">
		<node id="APPLICATION" program_id="worm-test" name="Sample" version="2.1.0" developer="Maker"
		      fps_limit="60" features="MULTITOUCHX, AUTOSCALE;SOUND_ON" reference_resolution="1024x600"
		      packages="base,extra" locale="de" analytics_id="app-analytics" shared="from-app"/>
		<node id="DEVELOPER" developer_mode="1" logging="true" logging_verbose_level="ERROR and WARNING"
		      console="0" console_toggle_key="TAB" developer_packages="devpkg"/>
	</array>
	<array id="VARIANTS">
		<node id="WINDOWS" renderer_implementation="ri_d3d9" features="WRONG"/>
		<node id="QNX" renderer_implementation="ri_plain" features="PLAIN"/>
		<node id="QNX/LARGE" renderer_implementation="ri_gles" sound_implementation="si_qnx"
		      input_implementations="touch.dll" resolutions="1024x600,*" features="NEWS;MULTIMOUSE"
		      addon_packages="hd" shared="from-variant" name="Sample Large"/>
	</array>
</root>
)";

KD_DMDatabase* MakeDatabase(const char* name, const std::string& text) {
    kd_dman.ReleaseDatabase(name);
    KD_DMDatabase* db = kd_dman.CreateDatabase(name);
    db->LoadXMLFromMemory(name, text.data(), (int)text.size());
    return db;
}

std::string Prog(const std::string& app_values, const std::string& variant = "<node id=\"QNX\"/>") {
    return "<root><array id=\"PARAMETERS\"><node id=\"APPLICATION\" " + app_values +
           "/></array><array id=\"VARIANTS\">" + variant + "</array></root>";
}

class Settings : public ::testing::Test {
protected:
    void SetUp() override {
        ResetTestProg();
        kd_prog = KD_GetInterface();
        kd_prog->parms.frame_ms = 8;
        KDPI_ResolvePlatformInfo();
    }
    void TearDown() override {
        kd_prog = nullptr;
        kd_state.developer_mode = false;
        kd_state.verbose_level = 0;
    }
    void Apply(const std::string& prog, const char* dev = nullptr) {
        KD_DMDatabase* p = MakeDatabase("res://prog.xml", prog);
        KD_DMDatabase* d = dev ? MakeDatabase("res://developer.xml", dev) : nullptr;
        KDI_ApplyProgramSettings(p, d);
        // Warnings are logged at level 1; keep them visible to the tests.
        kd_state.verbose_level = 0;
    }
};

}  // namespace

TEST_F(Settings, SampleWithVariantsAndFeatures) {
    Apply(kSample);
    EXPECT_STREQ(kd_prog->id, "worm-test");
    EXPECT_STREQ(kd_prog->title, "Sample Large");  // the variant's name wins
    EXPECT_STREQ(kd_prog->version, "2.1.0");
    EXPECT_STREQ(kd_prog->developer_name, "Maker");
    EXPECT_EQ(kd_prog->parms.frame_ms, 16);
    EXPECT_EQ(kd_prog->parms.reference_width, 1024);
    EXPECT_EQ(kd_prog->parms.reference_height, 600);
    EXPECT_STREQ(kd_prog->parms.locale, "de");
    EXPECT_STREQ(kd_state.locale, "de");

    // QNX/LARGE is preferred to QNX.
    EXPECT_STREQ(kd_state.variant_name, "QNX/LARGE");
    EXPECT_STREQ(kd_state.renderer_name, "ri_gles.dll");
    EXPECT_STREQ(kd_state.sound_imp_name, "si_qnx.dll");
    EXPECT_STREQ(kd_state.input_imp_names[0], "touch.dll");
    EXPECT_STREQ(kd_state.resolutions, "1024x600,*");

    // MULTITOUCHX is no MULTITOUCH; MULTIMOUSE after ';' in the variant is.
    EXPECT_TRUE(kd_prog->parms.multi_touch);
    EXPECT_TRUE(kd_state.autoscale);
    EXPECT_TRUE(KDI_ProductFeatureExists("AUTOSCALE"));
    EXPECT_TRUE(KDI_ProductFeatureExists("SOUND_ON"));
    EXPECT_TRUE(KDI_ProductFeatureExists("NEWS"));
    EXPECT_TRUE(KDI_ProductFeatureExists("DEVELOPER_MODE"));
    EXPECT_FALSE(KDI_ProductFeatureExists("MULTITOUCH"));
    EXPECT_FALSE(KDI_ProductFeatureExists("PLAIN"));
    EXPECT_FALSE(KDI_ProductFeatureExists("WRONG"));
    EXPECT_STREQ(KDI_GetFeaturesText(), "MULTITOUCHX, AUTOSCALE;SOUND_ON,DEVELOPER_MODE,NEWS;MULTIMOUSE");

    // Developer section of prog.xml (no developer.xml given).
    EXPECT_TRUE(kd_state.developer_mode);
    EXPECT_TRUE(kd_state.logging);
    EXPECT_EQ(kd_state.verbose_level, 0);  // reset by Apply; checked below
    EXPECT_FALSE(kd_state.console_enabled);
    EXPECT_EQ(kd_state.console_toggle_key, 9);

    // The five package lists.
    EXPECT_STREQ(KDI_GetProgramPackageList(0), "base,extra");
    EXPECT_STREQ(KDI_GetProgramPackageList(1), "hd");
    EXPECT_STREQ(KDI_GetProgramPackageList(2), "data-sfx-WAV_22050_MONO");
    EXPECT_STREQ(KDI_GetProgramPackageList(3), "data-music-MP3_22050_STEREO");
    EXPECT_STREQ(KDI_GetProgramPackageList(4), "devpkg");
    EXPECT_EQ(KDI_GetProgramPackageList(5), nullptr);
    EXPECT_EQ(KDI_GetProgramPackageList(-1), nullptr);

    // Product values: the variant first, then the application node.
    EXPECT_STREQ(KDI_GetProductValue("shared"), "from-variant");
    EXPECT_STREQ(KDI_GetProductValue("analytics_id"), "app-analytics");
    EXPECT_EQ(KDI_GetProductValue("absent"), nullptr);
    EXPECT_EQ(KDI_GetProductValue(nullptr), nullptr);
}

TEST_F(Settings, VerboseLevelAndDeveloperFile) {
    KD_DMDatabase* p = MakeDatabase("res://prog.xml", kSample);
    KDI_ApplyProgramSettings(p, nullptr);
    EXPECT_EQ(kd_state.verbose_level, 1);  // WARNING is looked for before ERROR

    // developer.xml replaces the developer section of prog.xml.
    const char* dev =
        "<root><array id=\"PARAMETERS\"><node id=\"DEVELOPER\" developer_mode=\"0\" logging=\"no\" "
        "logging_verbose_level=\"SYSTEM\" console=\"t\" console_toggle_key=\"F13\"/></array></root>";
    LogCapture log;
    KD_DMDatabase* d = MakeDatabase("res://developer.xml", dev);
    KDI_ApplyProgramSettings(p, d);
    EXPECT_FALSE(kd_state.developer_mode);
    EXPECT_FALSE(kd_state.logging);
    EXPECT_EQ(kd_state.verbose_level, 3);
    EXPECT_TRUE(kd_state.console_enabled);
    EXPECT_EQ(kd_state.console_toggle_key, 0);  // unknown key name: no key
    EXPECT_FALSE(KDI_ProductFeatureExists("DEVELOPER_MODE"));
    EXPECT_EQ(KDI_GetProgramPackageList(4), nullptr);  // only in developer mode
}

// Numbers read as atof reads them; limits below 1 (text that reads as 0
// among them) and frame times outside 1..1000 ms are refused.
TEST_F(Settings, FrameTimeFromFpsLimit) {
    for (auto [text, ms] : std::initializer_list<std::pair<const char*, int>>{
             {"30", 31}, {"60fps", 16}, {" 60", 16}, {"1", 333}, {"998", 1}}) {
        kd_prog->parms.frame_ms = 77;
        Apply(Prog(std::string("fps_limit=\"") + text + "\""));
        EXPECT_EQ(kd_prog->parms.frame_ms, ms) << text;
    }
    for (const char* bad :
         {"abc", "", "0", "1e-300", "0.99", "-1", "-1.999", "-2", "-5", "1e400", "nan", "inf", "5000"}) {
        LogCapture log;
        kd_prog->parms.frame_ms = 77;
        Apply(Prog(std::string("fps_limit=\"") + bad + "\""));
        EXPECT_EQ(kd_prog->parms.frame_ms, 8) << bad;
        EXPECT_TRUE(log.Contains("fps_limit")) << bad;
    }
    kd_prog->parms.frame_ms = 8;
    Apply(Prog(""));
    EXPECT_EQ(kd_prog->parms.frame_ms, 8);
}

TEST_F(Settings, UnusableSizesAreRefused) {
    for (const char* bad : {"0x0", "-5x10", "100000x600", "x", "1024", "1024x0", "abcxdef"}) {
        LogCapture log;
        Apply(Prog(std::string("features=\"AUTOSCALE\" reference_resolution=\"") + bad + "\""));
        EXPECT_EQ(kd_prog->parms.reference_width, 0) << bad;
        EXPECT_EQ(kd_prog->parms.reference_height, 0) << bad;
        EXPECT_TRUE(log.Contains("reference_resolution")) << bad;
        // Autoscaling would divide by the reference size.
        EXPECT_FALSE(kd_state.autoscale) << bad;
    }

    // A bad variant size keeps the application's good one.
    Apply(Prog("reference_resolution=\"800x480\"", "<node id=\"QNX\" reference_resolution=\"0x480\"/>"));
    EXPECT_EQ(kd_prog->parms.reference_width, 800);
    EXPECT_EQ(kd_prog->parms.reference_height, 480);

    LogCapture log;
    Apply(Prog("", "<node id=\"QNX\" resolutions=\"0x0, 1280x800,99999x1,abc,*,-3x4\"/>"));
    EXPECT_STREQ(kd_state.resolutions, "1280x800,*");
    EXPECT_TRUE(log.Contains("'0x0'"));
    EXPECT_TRUE(log.Contains("'99999x1'"));
    Apply(Prog("", "<node id=\"QNX\" resolutions=\"0x0\"/>"));
    EXPECT_EQ(kd_state.resolutions, nullptr);
    Apply(Prog("", "<node id=\"QNX\" resolutions=\"" + std::string(600, '1') + "\"/>"));
    EXPECT_EQ(kd_state.resolutions, nullptr);

    int w = -1, h = -1;
    EXPECT_TRUE(KDI_ParseResolution("1024x600", &w, &h));
    EXPECT_EQ(w * 10000 + h, 1024 * 10000 + 600);
    EXPECT_FALSE(KDI_ParseResolution((std::string(300, '1') + "x5").c_str(), &w, &h));
    EXPECT_EQ(w + h, 0);
}

TEST_F(Settings, IdentityTooLongIsRefusedWhole) {
    LogCapture log;
    std::string long_id(40, 'i');
    Apply(Prog("program_id=\"" + long_id + "\" version=\"1.2.3.4.5.6.7.8.9\" name=\"Fine\""));
    EXPECT_STREQ(kd_prog->id, "");  // the program's own (empty) id stays
    EXPECT_STREQ(kd_prog->version, "");
    EXPECT_STREQ(kd_prog->title, "Fine");
    EXPECT_TRUE(log.Contains("program_id"));
    EXPECT_TRUE(log.Contains("version"));
}

TEST_F(Settings, FormatsPackagesAndVariantsAbsent) {
    LogCapture log;
    Apply(Prog("", "<node id=\"QNX\" music_format=\"MP3_22050_STEREO\" sound_fx_format=\"@open:OGG_44100\"/>"));
    EXPECT_STREQ(KDI_GetProgramPackageList(3), "data-music-MP3_22050_STEREO");
    EXPECT_STREQ(KDI_GetProgramPackageList(2), "data-sfx-OGG_44100");
    EXPECT_TRUE(log.Contains("Just remove it."));
    EXPECT_TRUE(log.Contains("differs from platform standard"));
    EXPECT_STREQ(kd_state.renderer_name, "ri_d3d8.dll");  // default

    // Without a VARIANTS array no variant applies and no format packages.
    Apply("<root><array id=\"PARAMETERS\"><node id=\"APPLICATION\" name=\"X\"/></array></root>");
    EXPECT_EQ(kd_state.variant_name, nullptr);
    EXPECT_EQ(KDI_GetProgramPackageList(3), nullptr);
    EXPECT_EQ(kd_state.renderer_name, nullptr);
}

TEST_F(Settings, ManifestsLaterFilesWin) {
    MakeDatabase("res://m1.xml", "<root><array id=\"M\"><node id=\"shared\" from=\"m1\"/><node id=\"one\"/></array></root>");
    MakeDatabase("res://m2.xml", "<root><array id=\"M\"><node id=\"shared\" from=\"m2\"/></array></root>");
    Apply(Prog("", "<node id=\"QNX\" manifest=\"m1.xml, m2.xml\"/>"));
    KD_DMNode* n = KDI_GetDataManifestNode("shared");
    ASSERT_NE(n, nullptr);
    EXPECT_STREQ(n->GetValue("from"), "m2");
    EXPECT_NE(KDI_GetDataManifestNode("one"), nullptr);
    EXPECT_EQ(KDI_GetDataManifestNode("none"), nullptr);
}

TEST(SettingsDeathTest, NoMatchingVariantExits) {
    ResetTestProg();
    kd_prog = KD_GetInterface();
    KDPI_ResolvePlatformInfo();
    KD_DMDatabase* p = MakeDatabase("res://prog.xml", Prog("", "<node id=\"WINDOWS\"/>"));
    EXPECT_EXIT(KDI_ApplyProgramSettings(p, nullptr), ::testing::ExitedWithCode(255), "");
    kd_prog = nullptr;
}

TEST(FeatureWords, WholeWordsOnly) {
    EXPECT_TRUE(KDI_FeatureWordInText("ACHIEVEMENTS, NEWS", "NEWS"));
    EXPECT_FALSE(KDI_FeatureWordInText("ACHIEVEMENTS, NEWS", "ACHIEVEMENT"));
    EXPECT_TRUE(KDI_FeatureWordInText("A;NEWS B", "NEWS"));
    EXPECT_FALSE(KDI_FeatureWordInText("NEWSLETTER OLD_NEWS", "NEWS"));
    EXPECT_TRUE(KDI_FeatureWordInText("NEWSLETTER,NEWS", "NEWS"));  // search goes on past partial hits
    EXPECT_TRUE(KDI_FeatureWordInText("X ;, Y", "Y"));
    EXPECT_FALSE(KDI_FeatureWordInText("NEWS", ""));
    EXPECT_FALSE(KDI_FeatureWordInText(nullptr, "NEWS"));
    EXPECT_FALSE(KDI_FeatureWordInText("NEWS", nullptr));
}

TEST(PlatformFacts, IdsFormatsAndKeys) {
    KDPI_ClearPlatformInfo();
    EXPECT_EQ(kd_platform_info.platform_id, 0);
    KDPI_ResolvePlatformInfo();
    EXPECT_EQ(kd_platform_info.platform_id, 8);
    EXPECT_EQ(kd_platform_info.screen_size_id, 2);
    EXPECT_STREQ(kd_platform_info.os_minor, "6.5+");
    EXPECT_STREQ(KDI_GetPlatformIdAsString(8), "QNX");
    EXPECT_STREQ(KDI_GetPlatformIdAsString(13), "UNKNOWN");
    EXPECT_EQ(KDI_GetPlatformIdFromString("PS_VITA"), 10);
    EXPECT_EQ(KDI_GetPlatformIdFromString("qnx"), 0);
    EXPECT_STREQ(KDI_GetPlatformSoundEffectFormat(3), "WAV_22050");
    EXPECT_STREQ(KDI_GetPlatformMusicFormat(11), "OGG_44100");
    EXPECT_STREQ(KDI_GetPlatformMusicFormat(0), "UNKNOWN");
    EXPECT_STREQ(KDI_GetScreenSizeIdAsString(7), "SMALL");
    EXPECT_EQ(KDI_GetKeyByName("RETURN"), 13);
    EXPECT_EQ(KDI_GetKeyByName("a"), 97);
    EXPECT_EQ(KDI_GetKeyByName("A"), 0);
    EXPECT_EQ(KDI_GetKeyByName("F1"), 0);
    EXPECT_EQ(KDI_GetKeyByName("MOUSE_BUTTON_RIGHT"), 511);
}

// Reads the bundled prog.xml and this folder's developer.xml through the
// engine's files during a real start-up.
TEST(SettingsStartup, BundledProgXml) {
    const char* data = getenv("KODO_TEST_DATA");
    ASSERT_NE(data, nullptr);
    std::string prog = std::string(data) + "/prog.xml";
    std::string dev = std::string(data) + "/../tests/data/developer.xml";
    TempWorkDir dir;
    std::filesystem::create_directories("app/native");
    std::filesystem::copy_file(prog, "app/native/prog.xml");
    std::filesystem::copy_file(dev, "app/native/developer.xml");

    // Earlier tests left their own databases under these names in the cache.
    kd_dman.ReleaseDatabase("res://prog.xml");
    kd_dman.ReleaseDatabase("res://developer.xml");
    ResetTestProg();
    ASSERT_TRUE(StartEngine());
    EXPECT_STREQ(kd_prog->title, "Worm");
    EXPECT_STREQ(kd_prog->developer_name, "Vantreo");
    EXPECT_STREQ(kd_prog->id, "worm");
    EXPECT_EQ(kd_prog->parms.frame_ms, 16);
    EXPECT_TRUE(kd_state.developer_mode);
    EXPECT_STREQ(kd_state.variant_name, "QNX/LARGE");
    EXPECT_STREQ(KD_CallExtension("ProgramInfo", "ProgramId"), "worm");
    EXPECT_TRUE(KDI_ProductFeatureExists("MULTITOUCH"));
    EXPECT_EQ(kd_state.console_toggle_key, '0');  // a key the platform passes on
    StopEngine();
}
