// The HTTP transport against a server of the test's own on 127.0.0.1:
// requests go only to the servers prog.xml names, replies are bounded in
// size and time, and the download cache of the "http://" file opener and
// of http bitmaps fills through it (complete downloads only).
#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "kd-file.h"
#include "kd-http.h"
#include "kd-xmldb.h"
#include "local-http-server.h"
#include "test-support.h"

namespace {

std::string ReadNativeFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// What an engine path holds, or "(none)".
std::string EngineFile(const std::string& name) {
    kd_file_t* f = KD_OpenFile(name.c_str(), "rb");
    if (!f) return "(none)";
    std::string s((size_t)f->size, '\0');
    if (f->size) KD_ReadFile(&s[0], (unsigned)f->size, f);
    KD_CloseFile(f);
    return s;
}

std::string Text(const kd_buffer_t& b) { return b.data ? std::string((const char*)b.data, (size_t)b.size) : ""; }

struct Http : ::testing::Test {
    TempWorkDir dir;
    bool started = false;
    // Starts the engine with these values in the APPLICATION node.
    void Start(const std::string& values) {
        if (started) StopEngine();
        kd_dman.ReleaseDatabase("res://prog.xml");  // read afresh
        std::filesystem::create_directories("app/native");
        std::ofstream("app/native/prog.xml") << "<root><array id=\"PARAMETERS\"><node id=\"APPLICATION\" "
                                                "name=\"Game\" developer=\"Dev\" "
                                             << values << "/></array></root>";
        started = StartEngine();
        ASSERT_TRUE(started);
    }
    void TearDown() override {
        if (started) StopEngine();
    }
    int Get(const std::string& url, kd_buffer_t* reply) {
        int option = 5;
        return KD_SendHttpRequest(2, url.c_str(), "application/x-www-form-urlencoded", nullptr, 0, reply, &option);
    }
};

}  // namespace

TEST_F(Http, OnlyTheServersProgXmlNamesAreAsked) {
    LocalHttpServer named([](const std::string& t) {
        HttpAnswer a;
        a.body = "hello " + t;
        if (t == "/moved") {
            a.status = 302;
            a.headers = "Location: http://127.0.0.1:1/elsewhere\r\n";
        }
        return a;
    });
    LocalHttpServer other([](const std::string&) { return HttpAnswer{}; });
    ASSERT_TRUE(named.port && other.port);
    kd_buffer_t reply;

    // No endpoint: no request at all, as on the tablet build.
    Start("");
    LogCapture log;
    EXPECT_EQ(Get(named.Url("x?a=1"), &reply), 0);
    EXPECT_EQ(reply.data, nullptr);
    EXPECT_TRUE(log.Contains("no endpoint in prog.xml names its server"));

    Start("analytics_url=\"" + named.Url("?") + "\"");
    EXPECT_EQ(Get(named.Url("x?event_id=LEVELTIME&k[level]=E01_L01&k[time]=35"), &reply), 200);
    EXPECT_EQ(Text(reply), "hello /x?event_id=LEVELTIME&k[level]=E01_L01&k[time]=35");
    EXPECT_EQ(reply.capacity, reply.size);
    ASSERT_TRUE(reply.data);
    EXPECT_EQ(reply.data[reply.size], 0);  // a text reply is a C string
    KD_FreeBuffer(&reply);
    // Redirects are not followed: they could lead off the named servers.
    EXPECT_EQ(Get(named.Url("moved"), &reply), 302);
    KD_FreeBuffer(&reply);
    EXPECT_EQ(named.Connections(), 2);

    // Another port, another spelling of the host, another scheme, no URL.
    std::string port = std::to_string(named.port);
    const std::string refused[] = {
        other.Url("x"),       "http://localhost:" + port + "/x", "ftp://127.0.0.1:" + port + "/x",
        "file:///etc/passwd", "127.0.0.1:" + port + "/x",        ""};
    for (const std::string& url : refused) {
        EXPECT_EQ(Get(url, &reply), 0) << url;
        EXPECT_EQ(reply.data, nullptr);
    }
    EXPECT_EQ(Get("http://127.0.0.1:" + port + "/" + std::string(KD_HTTP_URL_MAX, 'a'), &reply), 0);
    EXPECT_EQ(KD_SendHttpRequest(2, nullptr, nullptr, nullptr, 0, &reply, nullptr), 0);
    EXPECT_EQ(KD_SendHttpRequest(1, named.Url("x").c_str(), nullptr, "a=1", 3, &reply, nullptr), 0);  // only GETs
    EXPECT_EQ(other.Connections(), 0);
    EXPECT_EQ(named.Connections(), 2);

    // The news endpoint names a server too.
    Start("news_url=\"" + other.Url("news") + "\"");
    EXPECT_EQ(Get(other.Url("news?id=1"), &reply), 200);
    KD_FreeBuffer(&reply);
    EXPECT_EQ(Get(named.Url("x"), &reply), 0);
}

TEST_F(Http, RepliesAreBoundedInSizeAndTime) {
    LocalHttpServer server([](const std::string& t) {
        HttpAnswer a;
        if (t == "/big") a.body.assign((size_t)KD_HTTP_REPLY_CAP + 5000, 'b');
        if (t == "/news") a.body.assign(9000, 'n');  // above the news reply's 8191-byte limit
        if (t == "/short") {
            a.body.assign(100, 's');
            a.announced = 1000;
        }
        if (t == "/stall") a.stall = true;
        return a;
    });
    Start("news_url=\"" + server.Url() + "\"");
    kd_buffer_t reply;

    EXPECT_EQ(Get(server.Url("news"), &reply), 200);
    EXPECT_EQ(reply.size, 9000);
    EXPECT_EQ(reply.capacity, 9000);
    KD_FreeBuffer(&reply);

    LogCapture log;
    EXPECT_EQ(Get(server.Url("big"), &reply), 200);
    EXPECT_EQ(reply.size, KD_HTTP_REPLY_CAP);
    EXPECT_GT(reply.capacity, reply.size);  // incomplete: callers do not keep it
    KD_FreeBuffer(&reply);
    EXPECT_TRUE(log.Contains("is cut at"));

    EXPECT_EQ(Get(server.Url("short"), &reply), 200);
    EXPECT_EQ(reply.size, 100);
    EXPECT_EQ(reply.capacity, 1000);
    KD_FreeBuffer(&reply);

    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Get(server.Url("stall"), &reply), 0);
    double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(waited, KD_HTTP_TOTAL_TIMEOUT_MS / 1000.0 - 0.5);
    EXPECT_LT(waited, KD_HTTP_TOTAL_TIMEOUT_MS / 1000.0 + 3);
    EXPECT_EQ(reply.data, nullptr);

    // Shutdown ends a request in flight on another thread at once.
    std::atomic<int> result{-1};
    std::thread worker([&] {
        kd_buffer_t r;
        result = KD_SendHttpRequest(2, server.Url("stall").c_str(), nullptr, nullptr, 0, &r, nullptr);
    });
    EXPECT_TRUE(server.WaitForRequests(5, 3000));
    t0 = std::chrono::steady_clock::now();
    KDI_CancelHttpRequests();
    worker.join();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 1.5);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Get(server.Url("news"), &reply), 0);  // refused until the settings are read again
}

// The caches are named by the whole address, asked only for allowed
// addresses, and keep only what is whole (and, for bitmaps, decodes).
TEST_F(Http, DownloadsAreCachedOnlyWhenCompleteAndDecoded) {
    const char* data = getenv("KODO_TEST_DATA");
    ASSERT_TRUE(data);
    std::string png = ReadNativeFile(std::string(data) + "/achievements/gfx/achievement-1.png");
    ASSERT_GT(png.size(), 100u);
    LocalHttpServer server([&](const std::string& t) {
        HttpAnswer a;
        if (t == "/files/a.bin") {
            a.body = "downloaded bytes";
        } else if (t == "/a/b" || t == "/a_b" || t == "/q?a=12" || t == "/q?a1=2") {
            a.body = "at " + t;
        } else if (t == "/files/cut.bin") {
            a.body = "only the start";
            a.announced = 5000;
        } else if (t == "/gfx/a.png") {
            a.body = png;
        } else if (t == "/gfx/page.png") {
            a.body = "<html>a page, with status 200</html>";
        } else if (t == "/gfx/cut.png") {
            a.body = png.substr(0, png.size() / 2);
            a.http10 = true;
        } else {
            a.status = 404;
            a.body = "<html>not here</html>";
        }
        return a;
    });
    Start("news_url=\"" + server.Url("news?") + "\"");
    auto cached = [](const std::string& url) { return EngineFile(KDI_HttpCacheName(url.c_str())); };
    LogCapture log;

    EXPECT_EQ(EngineFile(server.Url("files/a.bin")), "downloaded bytes");
    EXPECT_EQ(cached(server.Url("files/a.bin")), "downloaded bytes");
    EXPECT_EQ(EngineFile(server.Url("files/a.bin")), "downloaded bytes");
    EXPECT_EQ(server.Targets().size(), 1u);  // the second open came from the cache
    // Addresses that differ only where a flattened name would not.
    for (const char* t : {"a/b", "a_b", "q?a=12", "q?a1=2"})
        EXPECT_EQ(EngineFile(server.Url(t)), std::string("at /") + t);
    EXPECT_EQ(server.Targets().size(), 5u);
    EXPECT_NE(KDI_HttpCacheName(server.Url("a/b").c_str()), KDI_HttpCacheName(server.Url("a_b").c_str()));

    EXPECT_EQ(EngineFile(server.Url("files/cut.bin")), "(none)");
    EXPECT_TRUE(log.Contains("not complete (0% of 4.9KB done). Not saving."));
    EXPECT_EQ(cached(server.Url("files/cut.bin")), "(none)");
    EXPECT_EQ(EngineFile(server.Url("files/gone.bin")), "(none)");
    EXPECT_TRUE(log.Contains("return code 404"));
    EXPECT_EQ(cached(server.Url("files/gone.bin")), "(none)");

    // Bitmaps: a picture is decoded and kept; an error page, a page with
    // status 200 and a picture cut short without notice are not.
    kd_bitmap_t* bm = KD_LoadBitmap(server.Url("gfx/a.png").c_str(), 2);
    ASSERT_TRUE(bm);
    EXPECT_EQ(bm->width, 64);
    EXPECT_EQ(bm->height, 64);
    EXPECT_TRUE(cached(server.Url("gfx/a.png")) == png);
    EXPECT_EQ(KDI_HttpCacheName(server.Url("gfx/a.png").c_str()).substr(29), ".png");
    for (const char* t : {"gfx/missing.png", "gfx/page.png", "gfx/cut.png"}) {
        kd_bitmap_t* broken = KD_LoadBitmap(server.Url(t).c_str(), 2);
        if (broken) {
            EXPECT_EQ(broken->width, 0) << t;
        }
        EXPECT_EQ(cached(server.Url(t)), "(none)") << t;
    }
    EXPECT_TRUE(log.Contains("is no picture; it is not kept."));
    // Only what was kept is in the cache: no part files, no broken copies.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator("data/Dev/Game/cache")) files += e.is_regular_file();
    EXPECT_EQ(files, 6);

    // A server the settings no longer name is not read from the cache
    // either; a malformed address is told as such.
    Start("");
    EXPECT_EQ(EngineFile(server.Url("files/a.bin")), "(none)");
    EXPECT_TRUE(log.Contains("'" + server.Url("files/a.bin") + "': no endpoint in prog.xml names its server"));
    kd_buffer_t reply;
    Start("news_url=\"" + server.Url("news?") + "\"");
    EXPECT_EQ(Get(server.Url("a b"), &reply), 0);
    EXPECT_TRUE(log.Contains("it is not a well-formed http or https address"));
}
