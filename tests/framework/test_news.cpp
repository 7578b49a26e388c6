// News: the reply read as key="value" pairs, the pictures it may name and
// their references, the seen-news file, the events an item may be shown
// at, the news screen's answers, a screen transition held only by news it
// may show, and the fetch thread beside the main thread's readers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "local-http-server.h"
#include "luaman.h"
#include "recording-kd.h"
#include "services-fixture.h"
#include "services/news.h"
#include "ui/screen-manager.h"
#include "ui/screens-builtin.h"
#include "ui/ui-layout.h"
#include "ui/ui-widgets.h"

namespace {

// The news server's answer, set by each test.
std::mutex reply_mutex;
HttpAnswer reply_answer;
void Answer(int status, const std::string& body) {
    std::lock_guard<std::mutex> lock(reply_mutex);
    reply_answer.status = status;
    reply_answer.body = body;
}

// The first bytes of a PNG file of that size: its signature, its header
// chunk and the start of its pixel data, all its decoder reads before the
// pixels.
std::string PngHead(unsigned w, unsigned h) {
    std::string chunk("IHDR");
    for (unsigned v : {w, h})
        for (int shift = 24; shift >= 0; shift -= 8) chunk += (char)(v >> shift & 0xff);
    chunk += std::string("\x08\x02\0\0\0", 5);
    uint32_t crc = ~0u;
    for (unsigned char c : chunk) {
        crc ^= c;
        for (int k = 0; k < 8; k++) crc = crc >> 1 ^ (0xedb88320u & (0u - (crc & 1)));
    }
    crc = ~crc;
    for (int shift = 24; shift >= 0; shift -= 8) chunk += (char)(crc >> shift & 0xff);
    return std::string("\x89PNG\r\n\x1a\n\0\0\0\x0d", 12) + chunk + std::string("\0\0\0\0IDAT", 8);
}

// A JPEG's first segments: its start, an application segment, the frame
// header with the size and the start of its scan.
std::string JpegHead(unsigned w, unsigned h) {
    std::string b("\xff\xd8\xff\xe0\0\x10JFIF\0\x01\x01\0\0\x01\0\x01\0\0\xff\xc0\0\x11\x08", 25);
    for (unsigned v : {h, w}) b += std::string{(char)(v >> 8), (char)(v & 0xff)};
    return b +
           std::string("\x03\x01\x22\0\x02\x11\x01\x03\x11\x01\xff\xda\0\x0c\x03\x01\0\x02\x11\x03\x11\0\x3f\0", 24);
}

// A JPEG with a second, 1 x 1 frame header in a comment, where a reader
// that took the two bytes after a marker that stands alone (FF 01) for a
// length would land; its decoder reads the 8000 x 8000 frame.
std::string TwoFrames() {
    std::string real = JpegHead(8000, 8000), fake = JpegHead(1, 1);
    std::string b = std::string("\xff\xd8\xff\x01\xff\x01", 6) + real.substr(20, 19);
    std::string comment(2 + 2 + 0xff01 - (b.size() + 4), '\0');
    comment += fake.substr(20, 19);
    b += std::string{'\xff', '\xfe', (char)((comment.size() + 2) >> 8), (char)((comment.size() + 2) & 0xff)};
    return b + comment + real.substr(39);
}

// One server for the whole run: the engine reads prog.xml once. A picture
// "<name>-<w>x<h>.png" (or ".jpg") is answered with the start of a PNG (a
// JPEG) of that size.
LocalHttpServer& Server() {
    static LocalHttpServer server([](const std::string& target) {
        unsigned w = 0, h = 0;
        char ext[4] = {};
        size_t dash = target.rfind('-');
        if (dash != std::string::npos && sscanf(target.c_str() + dash, "-%ux%u.%3s", &w, &h, ext) == 3) {
            HttpAnswer a;
            a.body = strcmp(ext, "jpg") == 0 ? JpegHead(w, h) : PngHead(w, h);
            return a;
        }
        if (target == "/two-frames.jpg") {
            HttpAnswer a;
            a.body = TwoFrames();
            return a;
        }
        std::lock_guard<std::mutex> lock(reply_mutex);
        return reply_answer;
    });
    return server;
}

std::string Prog() {
    return "<root><array id=\"PARAMETERS\"><node id=\"APPLICATION\" program_id=\"worm-test\" version=\"1.2.3\" "
           "locale=\"en\" news_url=\"" +
           Server().Url("news/?") + "\"/></array></root>";
}

const char* kLayout =
    "CreateComp ('Image', 'NewsImage')\n"
    "SetProperty ('interactive', 1)\n"
    "CreateComp ('Button', 'Close')\n";

// Pictures load as bitmaps of the size their PNG header states; every
// load and release counted per name. The fetch thread loads, the main
// thread releases.
std::mutex bitmaps_mutex;
std::map<std::string, kd_bitmap_t> bitmaps;
std::vector<std::string> loads;
kd_bitmap_t* RLoadBitmap(const char* name, int) {
    unsigned char head[24] = {};
    if (kd_file_t* f = kd->OpenFile(name, "rb")) {
        kd->ReadFile(head, sizeof head, f);
        kd->CloseFile(f);
    }
    std::lock_guard<std::mutex> lock(bitmaps_mutex);
    kd_bitmap_t& bm = bitmaps[name];
    bm.name = (char*)bitmaps.find(name)->first.c_str();
    bm.width = head[18] << 8 | head[19];
    bm.height = head[22] << 8 | head[23];
    bm.ref_count++;
    loads.push_back(name);
    return &bm;
}
void RReleaseBitmap(kd_bitmap_t* bm) {
    std::lock_guard<std::mutex> lock(bitmaps_mutex);
    bm->ref_count--;
}
int Refs(const std::string& name) {
    std::lock_guard<std::mutex> lock(bitmaps_mutex);
    return bitmaps.count(name) ? bitmaps[name].ref_count : 0;
}

// Analytics lines ("LogEvent") and opened links.
std::vector<std::string>& platform() { return rec().calls; }
const char* (*engine_extension)(const char*, const char*) = nullptr;
const char* RCallExtension(const char* command, const char* parameter) {
    if (strcmp(command, "LogEvent") == 0 || strcmp(command, "OpenURL") == 0) {
        platform().push_back(std::string(command) + " " + (parameter ? parameter : ""));
        return nullptr;
    }
    return engine_extension(command, parameter);
}

bool PlayedEnough() { return true; }

bool Printed(const std::string& text) { return Recorded::Has(rec().prints, text); }

// The engine's own printing, which any thread may use.
void (*engine_printf)(const char*, ...) = nullptr;
void (*engine_print_debugf)(int, const char*, ...) = nullptr;

struct News : ::testing::Test {
    ServicesEnv env{
        {{"prog.xml", Prog()}, {"ui/fw/vantreo-news.lua", kLayout}, {"pics/bundled-10x10.png", PngHead(10, 10)}}};
    RecordingKd r{kd};
    void SetUp() override {
        engine_printf = kd->Printf;
        engine_print_debugf = kd->PrintDebugf;
        r.table.LoadBitmap = RLoadBitmap;
        r.table.ReleaseBitmap = RReleaseBitmap;
        engine_extension = r.table.CallExtension;
        r.table.CallExtension = RCallExtension;
        r.Install();
        ASSERT_TRUE(lua_man.Initialize());
        UIRegisterWidgetKinds();
        analyst.Initialize();
        env.Profile("Ann");
        {
            std::lock_guard<std::mutex> lock(bitmaps_mutex);
            bitmaps.clear();
            loads.clear();
        }
        news_man.played_enough = PlayedEnough;
    }
    void TearDown() override {
        for (int i = 0; i < 500 && news_man.fetching; i++) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        news_man.Reset();
        news_man.played_enough = nullptr;
        lua_man.Shutdown();
    }
    // The manager started as Initialize would, but without its fetch.
    void Start() {
        news_man.area_width = 983;
        news_man.area_height = 480;
        news_man.initialised = true;
        news_man.LoadState();
    }
    // One fetch on this thread answering `body`.
    NewsManager::News Fetch(const std::string& body, int status = 200) {
        Answer(status, body);
        news_man.Fetch();
        return news_man.CurrentItem();
    }
    std::string Pic(const std::string& name) { return Server().Url(name); }
    static NewsManager::News Parse(const std::string& text) {
        NewsManager::News item;
        item.id.Set(NewsManager::ParseReply(text.c_str(), (int)text.size(), &item) ? item.id.c_str() : "(none)");
        return item;
    }
    std::string SeenFile() { return ReadNative(env.User("vantreo-news.txt")); }
};

}  // namespace

TEST_F(News, RepliesAreReadAsPairsLeftToRight) {
    // Keys inside other keys' names are not keys; the first pair counts.
    NewsManager::News n = Parse(
        "{valid=\"xx\", id=\"n1\", unlink=\"ftp://u\", image=\"p.png\", link=\"http://a/\", "
        "id=\"n2\", variant=\"B\" allowed_events=\"Before_A\",skip_text=\"Later\"}");
    EXPECT_STREQ(n.id.c_str(), "n1");
    EXPECT_STREQ(n.link.c_str(), "http://a/");
    EXPECT_TRUE(n.has_link);
    EXPECT_STREQ(n.skip_text.c_str(), "Later");
    // A value is read wherever it stands; one of 1024 characters counts
    // as missing, one of 1023 does not.
    std::string far(3000, ' ');
    EXPECT_STREQ(Parse("{tags=\"" + far + "\" id=\"n3\" image=\"p\"}").id.c_str(), "n3");
    EXPECT_EQ(Parse("{id=\"" + std::string(1024, 'a') + "\" image=\"p\"}").id.c_str(), std::string("(none)"));
    EXPECT_EQ(Parse("{id=\"" + std::string(1023, 'a') + "\" image=\"p\"}").id.Length(), 1023);
    EXPECT_TRUE(Printed("Vantreo News: Missing news id tag."));
    // Ids and pictures that are not there, or not usable.
    rec().Clear();
    EXPECT_STREQ(Parse("{id=\"a\" image=\"p\"}").id.c_str(), "(none)");
    EXPECT_STREQ(Parse("{id=\"ab\"}").id.c_str(), "(none)");
    EXPECT_STREQ(Parse("{id=\"a,b\" image=\"p\"}").id.c_str(), "(none)");  // would split in the seen file
    EXPECT_STREQ(Parse("{id=\"ab image=\"p\"}").id.c_str(), "(none)");
    EXPECT_TRUE(Printed("Vantreo News: news id 'a' too short."));
    EXPECT_TRUE(Printed("Vantreo News: Missing image tag."));
    // What the log shows of a refused value is escaped as the reply is.
    Parse("{id=\"\n\" image=\"p\"}");
    Parse("{id=\"a\r\nFORGED\" image=\"p\"}");
    Parse("{id=\"ab\" image=\"p\" link=\"x\nFORGED\"}");
    EXPECT_TRUE(Printed("Vantreo News: news id '\\x0a' too short."));
    EXPECT_TRUE(Printed("Vantreo News: news id 'a\\x0d\\x0aFORGED' holds a character"));
    EXPECT_TRUE(Printed("link 'x\\x0aFORGED' is not"));
    // Links: two characters, or another scheme, open nothing.
    EXPECT_FALSE(Parse("{id=\"ab\" image=\"p\" link=\"ab\"}").has_link);
    EXPECT_FALSE(Parse("{id=\"ab\" image=\"p\" link=\"javascript:x()\"}").has_link);
    EXPECT_TRUE(Printed("link 'javascript:x()' is not an http:// or https:// address"));
    EXPECT_TRUE(Parse("{id=\"ab\" image=\"p\" link=\"https://x/\"}").has_link);

    // The events an item may be shown at: whole names of its list; three
    // characters or fewer admit any.
    EXPECT_TRUE(NewsManager::EventAllowed("Before_A,Before_Menu", "Before_Menu"));
    EXPECT_TRUE(NewsManager::EventAllowed("Before_A, Before_Menu", "Before_A"));
    EXPECT_FALSE(NewsManager::EventAllowed("Before_A,Before_Menu", "Before_"));
    EXPECT_FALSE(NewsManager::EventAllowed("Before_Menus", "Before_Menu"));
    EXPECT_TRUE(NewsManager::EventAllowed("abc", "Before_X"));
}

TEST_F(News, FetchesCheckTheReplyAndThePicture) {
    Start();
    NewsManager::News n = Fetch("{id=\"n1\" image=\"" + Pic("pic-983x480.png") + "\" link=\"http://x/\"}");
    EXPECT_TRUE(n.showable);
    ASSERT_TRUE(n.bitmap);
    const std::string first = n.bitmap->name;
    std::vector<std::string> targets = Server().Targets();
    ASSERT_GE(targets.size(), 2u);
    EXPECT_EQ(targets.back(), "/pic-983x480.png");  // after the reply
    std::string request = targets[targets.size() - 2];
    EXPECT_EQ(request.rfind("/news/?version=", 0), 0u) << request;
    EXPECT_NE(request.find("&app=worm-test&platform="), std::string::npos) << request;
    EXPECT_NE(request.find("&area_size=983x480"), std::string::npos) << request;
    EXPECT_TRUE(Printed("Call 'http://127.0.0.1:"));

    // 8191 bytes are read, 8192 fail the size check; a failed request or
    // a damaged reply changes nothing.
    std::string body = "{id=\"n2\" image=\"" + Pic("pic-10x10.png") + "\"";
    n = Fetch(body + std::string(8191 - body.size() - 1, ' ') + "}");
    EXPECT_STREQ(n.id.c_str(), "n2");
    ASSERT_TRUE(n.bitmap);
    const std::string second = n.bitmap->name;
    EXPECT_NE(first, second);
    EXPECT_EQ(Fetch(body + std::string(8192 - body.size() - 1, ' ') + "}").id, "n2");
    EXPECT_TRUE(Printed("Returned buffer fails sanity check (size 8192)"));
    EXPECT_STREQ(Fetch("{id=\"n3\" image=\"p\"", 200).id.c_str(), "n2");
    EXPECT_TRUE(rec().DebugContains("Failed {} check ('{id=\"n3\" image=\"p\"')."));
    // Of a long reply the log gets 60 bytes, each line break and byte
    // outside printable ASCII escaped.
    EXPECT_STREQ(Fetch("\nFORGED LINE\r\n\x01\\" + std::string(8000, 'a'), 200).id.c_str(), "n2");
    EXPECT_TRUE(rec().DebugContains("Failed {} check ('\\x0aFORGED LINE\\x0d\\x0a\\x01\\x5c" + std::string(44, 'a') +
                                    "...')."));
    Fetch("{}", 404);
    EXPECT_TRUE(Printed("Connection failure (http returns 404)"));
    EXPECT_EQ(Refs(first), 1);  // replaced, still held until the main thread lets go
    news_man.Update(0);
    EXPECT_EQ(Refs(first), 0);

    // One pixel wider than the area, 8150 x 8150 in a few hundred KB, or
    // a second frame header for another reader to find: not showable, and
    // refused by the size its decoder reads, before its pixels are decoded.
    size_t loaded = loads.size();
    n = Fetch("{id=\"n4\" image=\"" + Pic("wide-984x480.png") + "\"}");
    EXPECT_FALSE(n.showable);
    EXPECT_STREQ(n.id.c_str(), "n4");
    EXPECT_FALSE(Fetch("{id=\"n4b\" image=\"" + Pic("huge-8150x8150.png") + "\"}").showable);
    EXPECT_TRUE(rec().DebugContains("huge-8150x8150.png' (8150 x 8150) is larger than the news area (983 x 480)"));
    EXPECT_FALSE(Fetch("{id=\"n4c\" image=\"" + Pic("tall-983x481.jpg") + "\"}").showable);
    EXPECT_TRUE(rec().DebugContains("tall-983x481.jpg' (983 x 481) is larger than the news area"));
    EXPECT_FALSE(Fetch("{id=\"n4d\" image=\"" + Pic("two-frames.jpg") + "\"}").showable);
    EXPECT_TRUE(rec().DebugContains("two-frames.jpg' (8000 x 8000) is larger than the news area"));
    EXPECT_EQ(loads.size(), loaded);
    news_man.Update(0);
    EXPECT_EQ(Refs(second), 0);

    // Pictures: the named server's, or the bundled tree's; nothing else.
    rec().Clear();
    EXPECT_TRUE(Fetch("{id=\"n5\" image=\"pics/bundled-10x10.png\"}").showable);
    WriteNative(env.User("mine-10x10.png"), "x");
    for (const char* image : {"http://127.0.0.2:9/other-10x10.png", "https://127.0.0.1/x-10x10.png",
                              "../pics/bundled-10x10.png", "/etc/x-10x10.png", "mine-10x10.png", "file:p-1x1.png"}) {
        EXPECT_STREQ(Fetch(std::string("{id=\"n6\" image=\"") + image + "\"}").id.c_str(), "n5") << image;
        EXPECT_TRUE(rec().DebugContains(std::string("picture '") + image + "' is neither")) << image;
    }
    EXPECT_STREQ(Fetch("{id=\"n7\" image=\"http://x/\nFORGED-1x1.png\"}").id.c_str(), "n5");
    EXPECT_TRUE(rec().DebugContains("picture 'http://x/\\x0aFORGED-1x1.png' is neither"));
    std::lock_guard<std::mutex> lock(bitmaps_mutex);
    EXPECT_EQ(std::count(loads.begin(), loads.end(), "res://pics/bundled-10x10.png"), 1);
    EXPECT_EQ(loads.back(), "res://pics/bundled-10x10.png");
}

// A server naming a new picture at each start leaves the newest four in
// the cache; a list that names other files has none of them removed.
TEST_F(News, TheCacheKeepsTheNewestFourPictures) {
    Start();
    WriteNative(env.User("keep.xml"), "x");
    WriteNative(env.User("cache/news-pictures.txt"), "../keep.xml\nnews-0000000000000000.png/x\n");
    for (int i = 1; i <= 6; i++) {
        std::string id = "c" + std::to_string(i);
        EXPECT_TRUE(Fetch("{id=\"" + id + "\" image=\"" + Pic(id + "-10x10.png") + "\"}").showable);
    }
    std::vector<std::string> kept;
    for (auto& e : std::filesystem::directory_iterator(env.User("cache")))
        if (e.path().extension() == ".png") kept.push_back(e.path().filename());
    EXPECT_EQ(kept.size(), 4u);
    std::string list = ReadNative(env.User("cache/news-pictures.txt"));
    for (const std::string& name : kept) EXPECT_NE(list.find(name), std::string::npos) << list;
    EXPECT_TRUE(std::filesystem::exists(env.User("keep.xml")));
}

TEST_F(News, SeenIdsAreKeptEightAtATime) {
    // Nine seen: the newest eight are written.
    Start();
    for (int i = 1; i <= 9; i++) news_man.seen.InsertLast(nString(("id" + std::to_string(i)).c_str()));
    news_man.SaveState();
    EXPECT_EQ(SeenFile(), "OLD_NEWS=id2,id3,id4,id5,id6,id7,id8,id9");
    EXPECT_EQ(news_man.seen.count, 8);
    EXPECT_FALSE(std::filesystem::exists(env.User("vantreo-news.txt.tmp")));
    // Eight of 32 characters: far over 256, all read back whole.
    news_man.seen.Free();
    for (int i = 0; i < 8; i++) news_man.seen.InsertLast(nString(std::string(32, (char)('a' + i)).c_str()));
    news_man.SaveState();
    news_man.Reset();
    Start();
    ASSERT_EQ(news_man.seen.count, 8);
    EXPECT_TRUE(news_man.HasNewsBeenAlreadySeen(std::string(32, 'h').c_str()));
    EXPECT_FALSE(news_man.HasNewsBeenAlreadySeen(""));
    // At most 102 ids are read; a bad header reads none.
    std::string many = "OLD_NEWS=";
    for (int i = 0; i < 150; i++) many += (i ? "," : "") + std::to_string(i);
    WriteNative(env.User("vantreo-news.txt"), many);
    EXPECT_TRUE(news_man.LoadState());
    EXPECT_EQ(news_man.seen.count, 102);
    WriteNative(env.User("vantreo-news.txt"), "OLD_NEW=a");
    EXPECT_FALSE(news_man.LoadState());
    EXPECT_TRUE(news_man.state_ready);
    EXPECT_TRUE(rec().DebugContains("Vantreo news: bad header"));
}

// Shown at its event, reported with its variant; on the screen the
// picture settles at 0.9 of the fit, and "Close" twice answers once.
TEST_F(News, ShownAndAnsweredOnce) {
    FakeScreens screens;
    Start();
    Fetch("{id=\"n1\" image=\"" + Pic("pic-200x100.png") + "\" link=\"http://x/\" variant=\"B\"}");
    platform().clear();
    EXPECT_TRUE(news_man.ShowNews("Before_A"));
    EXPECT_EQ(screens.calls, std::vector<std::string>{"push VantreoNews"});
    EXPECT_FALSE(news_man.ShowNews("Before_A"));  // showing, and seen
    ScreenVantreoNews& screen = screen_VantreoNews;
    ASSERT_TRUE(screen.PreLoad());
    screen.Enter();
    screen.Update(2.0f);
    EXPECT_FLOAT_EQ(screen.GetComp("NewsImage")->scale, 0.9f * 480.0f / 100.0f);
    EXPECT_FALSE(screen.GetComp("Close")->fading);
    screen.ProcessUICompClick(screen.GetComp("Close"), 0);
    screen.ProcessUICompClick(screen.GetComp("Close"), 0);
    EXPECT_EQ(platform(), (std::vector<std::string>{"LogEvent NEWS_n1_Shown,event,Before_A,variant,B",
                                                    "LogEvent NEWS_n1_TapNo,event,Before_A,variant,B"}));
    UILayoutDeleteComps(screen.uiset);
    delete screen.uiset;
    screen.uiset = nullptr;
}

TEST_F(News, ATransitionGoesOnWhenItsEventMayNotShowTheNews) {
    ui_screen = UIScreenValues();
    ui_template_set = nullptr;
    sman.stack.count = 0;
    screen_VantreoNews.preloaded = false;
    struct Plain : Screen {
        explicit Plain(const char* n) : Screen(n) {}
    } a("A"), b("B");
    for (Screen* s : {(Screen*)&a, (Screen*)&b, (Screen*)&Screen_ScreenTransition, (Screen*)&screen_VantreoNews})
        Screen::PreLoadScreen(s, false);
    Start();
    Fetch("{id=\"n1\" image=\"" + Pic("pic-200x100.png") + "\" allowed_events=\"Before_A\"}");
    auto frames = [](int n) {
        for (int i = 0; i < n && sman.IsScreenInStack(&Screen_ScreenTransition); i++) {
            sman.Update(1.0f / 30);
            sman.DrawScreens(1.0f / 30);
        }
    };
    sman.PushScreen(&a);
    sman.SwitchScreen("B");
    frames(120);
    EXPECT_EQ(sman.TopScreen(), &b);
    EXPECT_FALSE(news_man.IsShowingNews());
    // Towards A: the news comes first, and A after it has gone.
    sman.SwitchScreen("A");
    frames(60);
    EXPECT_EQ(sman.TopScreen(), &screen_VantreoNews);
    EXPECT_TRUE(sman.IsScreenInStack(&Screen_ScreenTransition));
    screen_VantreoNews.ProcessUICompClick(screen_VantreoNews.GetComp("Close"), 0);
    frames(120);
    EXPECT_EQ(sman.TopScreen(), &a);
    EXPECT_FALSE(news_man.IsShowingNews());
    sman.Shutdown();
}

// The fetch thread replaces the item while the main thread asks about it
// (the ThreadSanitizer job runs this).
TEST_F(News, FetchThreadBesideTheMainThreadsReaders) {
    // Printed from the thread: the engine's own log, which is thread-safe.
    r.table.Printf = engine_printf;
    r.table.PrintDebugf = engine_print_debugf;
    FwLog log;
    Answer(200, "{id=\"t1\" image=\"" + Pic("pic-50x50.png") + "\"}");
    news_man.Initialize(983, 480);
    for (int round = 0; round < 3; round++) {
        while (news_man.fetching) {
            news_man.IsNewsReadyToBeShown();
            news_man.CurrentItem();
            std::this_thread::yield();
        }
        news_man.Update(0.016f);
        news_man.RefreshNews();
    }
    for (int i = 0; i < 500 && news_man.fetching; i++) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(news_man.fetching);
    EXPECT_TRUE(news_man.IsNewsReadyToBeShown());
    EXPECT_STREQ(news_man.CurrentItem().id.c_str(), "t1");
    news_man.Update(0.016f);
    EXPECT_EQ(Refs(news_man.CurrentItem().bitmap->name), 1);
    EXPECT_TRUE(log.Contains("Call 'http://127.0.0.1:"));
}
