// Analytics: the platform line, the play log and the upload to an
// analytics server of the test's own on 127.0.0.1, the cap on uploads in
// flight, the cut of long queries, and the silence of automated testing.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "local-http-server.h"
#include "luaman.h"
#include "recording-kd.h"
#include "services-fixture.h"

namespace {

// Requests wait here while the gate is shut.
std::atomic<bool> gate_open{true};

// One server for the whole run: the engine reads prog.xml once per
// process, so the endpoint it names must stay the same.
LocalHttpServer& Server() {
    static LocalHttpServer server([](const std::string&) {
        while (!gate_open) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        HttpAnswer a;
        a.body = "OK";
        return a;
    });
    return server;
}

std::string Prog() {
    return "<root><array id=\"PARAMETERS\"><node id=\"APPLICATION\" analytics_url=\"" + Server().Url("?") +
           "\" analytics_id=\"app-7\"/></array></root>";
}

std::vector<std::string>& lines() { return rec().calls; }

const char* (*engine_extension)(const char*, const char*) = nullptr;
const char* RCallExtension(const char* command, const char* parameter) {
    if (strcmp(command, "LogEvent") == 0) {
        lines().push_back(parameter ? parameter : "(null)");
        return nullptr;
    }
    return engine_extension(command, parameter);
}

struct Analytics : ::testing::Test {
    ServicesEnv env{{{"prog.xml", Prog()}}};
    RecordingKd r{kd};
    void SetUp() override {
        // The upload threads print: the engine's own log (thread-safe)
        // stays, only the platform's "LogEvent" is recorded.
        r.table.Printf = kd->Printf;
        r.table.PrintDebugf = kd->PrintDebugf;
        r.table.Popupf = kd->Popupf;
        engine_extension = kd->CallExtension;
        r.table.CallExtension = RCallExtension;
        r.Install();
        ASSERT_TRUE(lua_man.Initialize());
        analyst.RegisterLuaFunctions();
        env.Profile("Ann");
        srand(1);
    }
    void TearDown() override {
        gate_open = true;
        analyst.Shutdown();
        lua_man.Shutdown();
    }
    bool Uploaded() {
        for (int i = 0; i < 500 && analyst.GetUploadsInFlight() > 0; i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return analyst.GetUploadsInFlight() == 0;
    }
    std::string PlayLog(const std::string& name) { return ReadNative(env.User("logs/playlog-" + name + ".csv")); }
    std::string Prefix() {
        return "/?app_id=app-7&version=1.2.3&udid=" + std::to_string((int)prof->GetAnalyticsId()) + "&";
    }
};

}  // namespace

TEST_F(Analytics, LineLogAndUploadOfEachEvent) {
    feature_man.SetFeatureList("ANALYST_LOCAL_STORE,ANALYST_LIVELOGGER");
    size_t before = Server().Targets().size();
    // Off: nothing at all, from code or script.
    analyst.LogEventLevelTime("E01_L01", 35);
    ASSERT_TRUE(lua_man.ExecLuaString(nullptr, "Analyst_LogEvent('MENU')"));
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(PlayLog("Ann"), "");
    EXPECT_EQ(prof->GetAnalyticsId(), 0u);

    ASSERT_TRUE(analyst.Initialize());
    FwLog log;
    analyst.LogEventLevelTime("E01_L01", 35);
    EXPECT_NE(prof->GetAnalyticsId(), 0u);
    ASSERT_TRUE(lua_man.ExecLuaString(nullptr, "Analyst_LogEvent('MENU') Analyst_LogEventLevelTime('E01_L02', 7.9)"));
    ASSERT_TRUE(Uploaded());
    EXPECT_EQ(lines(),
              (std::vector<std::string>{"LEVELTIME,level,E01_L01,time,35", "MENU", "LEVELTIME,level,E01_L02,time,7"}));
    EXPECT_EQ(PlayLog("Ann"), "LEVELTIME,level,E01_L01,time,35\nMENU\nLEVELTIME,level,E01_L02,time,7\n");
    // One thread each: they take turns, in no fixed order.
    std::vector<std::string> targets = Server().Targets();
    ASSERT_EQ(targets.size(), before + 3);
    std::set<std::string> got(targets.begin() + before, targets.end());
    EXPECT_EQ(got, (std::set<std::string>{Prefix() + "event_id=LEVELTIME&k[level]=E01_L01&k[time]=35",
                                          Prefix() + "event_id=MENU",
                                          Prefix() + "event_id=LEVELTIME&k[level]=E01_L02&k[time]=7"}));
    EXPECT_TRUE(log.Contains("Sending event logs to Vantreo analytics.."));
    EXPECT_TRUE(log.Contains("Constructed URL: 'http://127.0.0.1:"));
    EXPECT_TRUE(log.Contains("ret:200"));

    // A name that would lead out of the logs folder stays inside it.
    prof->SetName("../x");
    analyst.LogEvent("NAMED");
    std::string named;
    for (const auto& e : std::filesystem::directory_iterator(env.User("logs")))
        if (e.path().filename().string().rfind("playlog-___x.", 0) == 0) named = ReadNative(e.path());
    EXPECT_EQ(named, "NAMED\n");
    ASSERT_TRUE(Uploaded());
}

// What a value holds stays that value: in the query (percent-encoded,
// which changes nothing for the game's own values), in the line and the
// play log (',' and line ends escaped). Names that are not plain get play
// logs of their own; each log keeps its newest 1 MiB.
TEST_F(Analytics, ValuesStayValuesAndPlayLogsStayApartAndBounded) {
    feature_man.SetFeatureList("ANALYST_LOCAL_STORE,ANALYST_LIVELOGGER");
    ASSERT_TRUE(analyst.Initialize());
    size_t before = Server().Targets().size();
    nArray<Analyst::KeyValue> pairs;
    pairs.InsertLast(Analyst::KeyValue("level", "E01_L01"));
    pairs.InsertLast(Analyst::KeyValue("note", "a b&udid=0&app_id=x"));
    pairs.InsertLast(Analyst::KeyValue("k,2", "x,y\nz\\"));
    analyst.LogEventWithKeyValues("EV", pairs);
    ASSERT_TRUE(Uploaded());
    ASSERT_EQ(Server().Targets().size(), before + 1);
    EXPECT_EQ(Server().Targets().back(),
              Prefix() + "event_id=EV&k[level]=E01_L01&k[note]=a%20b%26udid%3D0%26app_id%3Dx&k[k%2C2]=x%2Cy%0Az%5C");
    const std::string line = "EV,level,E01_L01,note,a b&udid=0&app_id=x,k\\,2,x\\,y\\nz\\\\";
    EXPECT_EQ(lines().back(), line);
    EXPECT_EQ(PlayLog("Ann"), line + "\n");

    // "a b", "a.b" and "a_b": three logs; the plain name keeps its own.
    std::set<std::string> files;
    for (const char* name : {"a b", "a.b", "a_b", "../x"}) {
        prof->SetName(name);
        analyst.LogEvent(name);
    }
    for (const auto& e : std::filesystem::directory_iterator(env.User("logs"))) files.insert(e.path().filename());
    EXPECT_EQ(files.size(), 5u);  // and Ann's
    EXPECT_EQ(PlayLog("a_b"), "a_b\n");
    for (const std::string& f : files) EXPECT_EQ(f.rfind("playlog-", 0), 0u) << f;

    // A log at its cap loses its oldest whole lines to the next event.
    prof->SetName("Ann");
    std::string old;
    for (int i = 0; old.size() < (1u << 20) - 100; i++) old += "OLD" + std::to_string(i) + ",k,v\n";
    WriteNative(env.User("logs/playlog-Ann.csv"), old);
    analyst.LogEvent(std::string(300, 'N').c_str());
    std::string now = PlayLog("Ann");
    EXPECT_LE(now.size(), 1u << 20);
    EXPECT_GT(now.size(), (1u << 20) - 400);
    EXPECT_EQ(now.substr(now.size() - 301), std::string(300, 'N') + "\n");
    EXPECT_EQ(old.find(now.substr(0, now.size() - 301)), old.size() - (now.size() - 301));  // the newest lines
    EXPECT_EQ(now.compare(0, 3, "OLD"), 0);  // starting with a whole line

    // A play log linked to a file outside the player's folder gets
    // nothing from a menu script's event.
    const std::string outside = env.dir + "/outside.csv";
    WriteNative(outside, "theirs\n");
    std::filesystem::remove(env.User("logs/playlog-Ann.csv"));
    std::filesystem::create_symlink(outside, env.User("logs/playlog-Ann.csv"));
    ASSERT_TRUE(lua_man.ExecLuaString(nullptr, "Analyst_LogEvent('MENU')"));
    EXPECT_EQ(ReadNative(outside), "theirs\n");
    ASSERT_TRUE(Uploaded());
}

// The analytics id is the system's random draw: never 0, different for
// two profiles, and the C library's own sequence, seeded, is untouched.
TEST_F(Analytics, TheIdIsDrawnWithoutTouchingRand) {
    feature_man.SetFeatureList("");
    ASSERT_TRUE(analyst.Initialize());
    srand(42);
    int first = rand(), second = rand();
    srand(42);
    EXPECT_EQ(rand(), first);
    analyst.LogEvent("A");
    uint32_t a = prof->GetAnalyticsId();
    EXPECT_EQ(rand(), second);
    env.Profile("Bob");
    analyst.LogEvent("B");
    EXPECT_NE(a, 0u);
    EXPECT_NE(prof->GetAnalyticsId(), 0u);
    EXPECT_NE(prof->GetAnalyticsId(), a);
    srand(1);
    int one = rand();
    srand(1);
    analyst.LogEvent("C");
    EXPECT_EQ(rand(), one);
}

TEST_F(Analytics, UploadsInFlightAreCappedAndLongQueriesCutAtAPair) {
    feature_man.SetFeatureList("ANALYST_LOCAL_STORE,ANALYST_LIVELOGGER");
    ASSERT_TRUE(analyst.Initialize());
    size_t before = Server().Targets().size();
    gate_open = false;
    FwLog log;
    for (int i = 0; i < 7; i++) analyst.LogEvent(("E" + std::to_string(i)).c_str());
    EXPECT_EQ(analyst.GetUploadsInFlight(), (int)Analyst::kMaxUploadsInFlight);
    EXPECT_EQ(PlayLog("Ann"), "E0\nE1\nE2\nE3\nE4\nE5\nE6\n");  // every event is still written
    EXPECT_EQ(lines().size(), 7u);
    gate_open = true;
    ASSERT_TRUE(Uploaded());
    EXPECT_EQ(Server().Targets().size(), before + Analyst::kMaxUploadsInFlight);
    EXPECT_TRUE(log.Contains("4 uploads in flight; this event is not uploaded."));

    // 100 pairs of 40 characters: the line keeps them all, the query what
    // fits in 2047 characters, ending with a whole pair.
    nArray<Analyst::KeyValue> pairs;
    std::string value(30, 'v');
    for (int i = 0; i < 100; i++)
        pairs.InsertLast(Analyst::KeyValue(("key" + std::to_string(i)).c_str(), value.c_str()));
    analyst.LogEventWithKeyValues("BIG", pairs);
    ASSERT_TRUE(Uploaded());
    EXPECT_EQ(lines().back().size(), 3 + 100 * (1 + 5 + 1 + 30) - 10);  // keys 0-9 are one digit shorter
    std::string query = Server().Targets().back().substr(Prefix().size());
    EXPECT_LE(query.size(), (size_t)Analyst::kMaxQueryLength);
    EXPECT_GT(query.size(), (size_t)Analyst::kMaxQueryLength - 45);
    EXPECT_EQ(query.substr(query.size() - 31), "=" + value);
    EXPECT_TRUE(log.Contains("the upload of 'BIG' keeps"));
    // A name too long for any query: written, not uploaded.
    size_t count = Server().Targets().size();
    analyst.LogEvent(std::string(3000, 'n').c_str());
    ASSERT_TRUE(Uploaded());
    EXPECT_EQ(Server().Targets().size(), count);
    EXPECT_EQ(lines().back().size(), 3000u);
}

TEST_F(Analytics, AutomatedTestingSendsWritesAndUploadsNothing) {
    feature_man.SetFeatureList("ANALYST_LOCAL_STORE,ANALYST_LIVELOGGER,AUTO_TESTING_MODE");
    ASSERT_TRUE(analyst.Initialize());
    size_t before = Server().Targets().size();
    analyst.LogEventLevelTime("E01_L01", 35);
    ASSERT_TRUE(lua_man.ExecLuaString(nullptr, "Analyst_LogEvent('MENU')"));
    ASSERT_TRUE(Uploaded());
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(PlayLog("Ann"), "");
    EXPECT_EQ(Server().Targets().size(), before);
    EXPECT_EQ(prof->GetAnalyticsId(), 0u);
}
