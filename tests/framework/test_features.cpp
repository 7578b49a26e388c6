// Product features: whole-word look-ups, requirement lists, search-path
// packages and the script functions.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "feature-manager.h"
#include "fw-support.h"
#include "luaman.h"

namespace {

// Restores the feature list the other tests expect.
struct List {
    explicit List(const char* text) { feature_man.SetFeatureList(text); }
    ~List() { feature_man.SetFeatureList(nullptr); }
};

}  // namespace

TEST(FeatureNames, MatchOnlyWholeWords) {
    List l("ACHIEVEMENTS, NEWS");
    EXPECT_TRUE(feature_man.ProductFeatureExists("NEWS"));
    EXPECT_TRUE(feature_man.ProductFeatureExists("ACHIEVEMENTS"));
    EXPECT_FALSE(feature_man.ProductFeatureExists("ACHIEVEMENT"));
    EXPECT_FALSE(feature_man.ProductFeatureExists("CHIEVEMENTS"));
    EXPECT_FALSE(feature_man.ProductFeatureExists("news"));

    feature_man.SetFeatureList("NEWSLETTER");
    EXPECT_FALSE(feature_man.ProductFeatureExists("NEWS"));
    feature_man.SetFeatureList("OLD_NEWS");
    EXPECT_FALSE(feature_man.ProductFeatureExists("NEWS"));
    // A later whole occurrence is found after a partial one.
    feature_man.SetFeatureList("NEWSLETTER OLD_NEWS;NEWS");
    EXPECT_TRUE(feature_man.ProductFeatureExists("NEWS"));
    feature_man.SetFeatureList("A;NEWS B");
    EXPECT_TRUE(feature_man.ProductFeatureExists("NEWS"));
    EXPECT_TRUE(feature_man.ProductFeatureExists("B"));
    EXPECT_TRUE(feature_man.ProductFeatureExists("A"));
}

TEST(FeatureNames, NullAndEmptyAnswerFalse) {
    EXPECT_FALSE(feature_man.ProductFeatureExists("NEWS"));  // no list
    List l("NEWS,,X");
    EXPECT_FALSE(feature_man.ProductFeatureExists(nullptr));
    EXPECT_FALSE(feature_man.ProductFeatureExists(""));
    feature_man.SetFeatureList("");
    EXPECT_FALSE(feature_man.ProductFeatureExists("NEWS"));
}

TEST(FeatureRequirements, RequiredAndForbiddenItems) {
    List l("NEWS ACHIEVEMENTS");
    EXPECT_FALSE(feature_man.EvaluateProductFeatureRequirementList(nullptr));
    EXPECT_TRUE(feature_man.EvaluateProductFeatureRequirementList(""));
    EXPECT_TRUE(feature_man.EvaluateProductFeatureRequirementList("NEWS,!HARD_LEVELS"));
    EXPECT_TRUE(feature_man.EvaluateProductFeatureRequirementList("NEWS,ACHIEVEMENTS,"));
    EXPECT_FALSE(feature_man.EvaluateProductFeatureRequirementList("NEWS,!ACHIEVEMENTS"));
    EXPECT_FALSE(feature_man.EvaluateProductFeatureRequirementList("HARD_LEVELS"));
    // Items are not trimmed: the space belongs to the name.
    EXPECT_FALSE(feature_man.EvaluateProductFeatureRequirementList("NEWS, ACHIEVEMENTS"));
    // An empty required item names no feature and so is never satisfied
    // (a typo in a data file must not switch content on).
    EXPECT_FALSE(feature_man.EvaluateProductFeatureRequirementList("NEWS,,HARD_LEVELS"));
    // A bare '!' forbids the empty name, which never exists.
    EXPECT_TRUE(feature_man.EvaluateProductFeatureRequirementList("!"));

    feature_man.SetFeatureList("NEWS HARD_LEVELS");
    EXPECT_FALSE(feature_man.EvaluateProductFeatureRequirementList("NEWS,!HARD_LEVELS"));
}

TEST(FeatureRequirements, LimitsOfLengthAndCount) {
    List l("NEWS");
    std::string failing = "MISSING";
    failing.resize(511, 'X');
    EXPECT_FALSE(feature_man.EvaluateProductFeatureRequirementList(failing.c_str()));
    failing += 'X';  // 512 characters: accepted unread
    EXPECT_TRUE(feature_man.EvaluateProductFeatureRequirementList(failing.c_str()));

    std::string items;
    for (int i = 0; i < 32; i++) items += "NEWS,";
    EXPECT_FALSE(feature_man.EvaluateProductFeatureRequirementList((items.substr(0, 31 * 5) + "MISSING").c_str()));
    EXPECT_TRUE(feature_man.EvaluateProductFeatureRequirementList((items + "MISSING").c_str()));
}

TEST(FeatureManagerEngine, ReadsProgramFeaturesAndRegistersScriptFunctions) {
    // The bundled settings, so the list is the product's own.
    char tmpl[] = "/tmp/kodo-feat-XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    std::string dir = tmpl;
    mkdir((dir + "/app").c_str(), 0777);
    mkdir((dir + "/app/native").c_str(), 0777);
    const char* data = getenv("KODO_TEST_DATA");
    ASSERT_TRUE(data);
    WriteNative(dir + "/app/native/prog.xml", ReadNative(std::string(data) + "/prog.xml"));
    {
        FwEngine e(dir);
        ASSERT_TRUE(e.started);
        ASSERT_TRUE(lua_man.Initialize());
        feature_man.Initialize();
        ASSERT_TRUE(feature_man.GetFeatureList());
        EXPECT_TRUE(feature_man.ProductFeatureExists("AUTOSCALE"));
        EXPECT_TRUE(feature_man.ProductFeatureExists("MULTITOUCH"));
        EXPECT_TRUE(feature_man.ProductFeatureExists("NEWS"));
        EXPECT_FALSE(feature_man.ProductFeatureExists("NEW"));
        EXPECT_FALSE(feature_man.IsGameCenterEnabled());

        lua_State* L = lua_man.GetMainState();
        ASSERT_TRUE(L);
        ASSERT_TRUE(lua_man.ExecLuaString(
            L, "a = FM_ProductFeatureExists('MULTITOUCH') b = FM_ProductFeatureExists('MULTI') "
               "c = FM_GetProductValue('no_such_value_anywhere') d = FM_UsesPackage('episode2')"));
        lua_getglobal(L, "a");
        EXPECT_TRUE(lua_toboolean(L, -1));
        lua_getglobal(L, "b");
        EXPECT_FALSE(lua_toboolean(L, -1));
        lua_getglobal(L, "c");
        EXPECT_TRUE(lua_isnil(L, -1));
        lua_getglobal(L, "d");
        EXPECT_FALSE(lua_toboolean(L, -1));
        lua_pop(L, 4);

        // A package is the last folder of a search path.
        EXPECT_FALSE(feature_man.UsesPackage("episode2"));
        kd->AddSearchPath("res://packs/episode2/", false);
        EXPECT_TRUE(feature_man.UsesPackage("episode2"));
        EXPECT_FALSE(feature_man.UsesPackage("packs"));
        EXPECT_FALSE(feature_man.UsesPackage("episode"));
        EXPECT_FALSE(feature_man.UsesPackage(nullptr));

        // The platform with its screen-size class; the device model.
        EXPECT_STREQ(feature_man.GetCurrentPlatformId(), "QNX/LARGE");
        EXPECT_STREQ(feature_man.GetCurrentDeviceId(), "QNX");
        EXPECT_TRUE(feature_man.IsRunningOnDevice("QNX"));
        EXPECT_FALSE(feature_man.IsRunningOnDevice("QNX2"));
        EXPECT_FALSE(feature_man.IsRunningOnDevice(nullptr));
        lua_man.Shutdown();
    }
    feature_man.SetFeatureList(nullptr);
    system(("rm -rf " + dir).c_str());
}
