// News: one picture with an optional link, fetched from the product's news
// endpoint ("news_url" in prog.xml) on the worker thread
// "vantreo_news_fetcher", and shown once per news id on the screen
// "VantreoNews" when a screen or timeline transition names an event the
// item allows ("Before_<name>"). Shown, tapped and closed items are
// reported to the analytics service. The ids already shown are kept in
// "user://vantreo-news.txt" ("OLD_NEWS=" and the ids joined by ",", at
// most the eight newest).
//
// The reply is a list of key="value" pairs between braces, read once from
// left to right; the first pair of a key counts. Keys: "id" (at least two
// characters), "image" (an http:// picture on a server prog.xml names, or
// a picture of the bundled data), "link" (http:// or https://), "tags",
// "variant", "allowed_events" (the event names it may be shown at; three
// characters or fewer: any), "skip_text" (the text of "Close").
//
// The picture (PNG or JPEG) is fetched by the fetch thread itself, its
// size read from its header: one larger than the news area is refused
// before it is decoded. A server's picture is decoded from
// "user://cache/news-<hash of its address>.png" (or ".jpg").
//
// Threads: the fetch thread replaces the current item under the engine
// mutex "vantreo_NEWS"; the main thread reads the item under the same
// mutex. The seen list and the flags are the main thread's. Pictures a
// fetch drops are released by the main thread once the news screen no
// longer shows them.
#ifndef FRAMEWORK_NEWS_H
#define FRAMEWORK_NEWS_H

#include <atomic>
#include <string>

#include "framework-kd.h"
#include "kodo.h"
#include "nstring.h"
#include "ui/screen.h"

class NewsManager {
public:
    // One news item.
    struct News {
        bool showable = false;
        nString id, image, link, variant, tags, allowed_events, trigger_event, skip_text;
        bool has_link = false;          // the reply named a usable link
        kd_bitmap_t* bitmap = nullptr;  // not counted here: the manager holds the reference
    };
    // Bounds of what the reply and the seen file may hold.
    enum { kMaxReply = 8191, kMaxValue = 1023, kMaxStateFile = 1048576, kMaxReadIds = 102, kMaxSavedIds = 8 };
    // A bundled picture is read this far for its size (a server's reply
    // is capped by the transport).
    enum : size_t { kMaxPictureFile = 1048576 };
    // The server pictures kept in the cache, the newest ones; the list of
    // them, oldest first, is kPictureList.
    enum { kKeptPictures = 4 };
    static const char* const kPictureList;
    static const char* const kStateFile;
    static const char* const kScreenName;

    NewsManager() {}
    NewsManager(const NewsManager&) = delete;
    NewsManager& operator=(const NewsManager&) = delete;

    void Initialize(int width, int height);
    // Back to the state before Initialize, the pictures released (after
    // the fetch thread is over).
    void Reset();
    void Update(float dt);
    void RefreshNews();
    bool IsShowingNews() const;
    bool HasNewsBeenAlreadySeen(const char* id) const;
    bool IsNewsReadyToBeShown();
    // Pushes the news screen for this event when the item may be shown at
    // it; true when it did.
    bool ShowNews(const char* event);
    void SendEventToAnalyst(const char* action);
    bool LoadState();
    void SaveState();

    // The fetch, on whichever thread calls it (the worker runs it).
    void Fetch();
    // The request's address; empty without an endpoint.
    std::string BuildUrl() const;
    // A reply's item; false (with its line) when it has none. The picture
    // is not loaded here.
    static bool ParseReply(const char* text, int size, News* out);
    // The extension the engine's loaders know a PNG or JPEG picture by,
    // from its first bytes; null for anything else.
    static const char* PictureKind(const unsigned char* bytes, size_t size);
    // The size the engine's decoder will give the picture file `path`, read
    // from its header before any pixel is decoded; false when it cannot be
    // read.
    static bool PictureSize(const char* path, int* width, int* height);
    // Whether the event may show the item (allowed_events).
    static bool EventAllowed(const char* allowed, const char* event);
    // Adds the picture `kept` ("news-<hash>.png" in "user://cache/") to
    // kPictureList; the oldest past kKeptPictures are removed.
    static void KeepNewestPictures(const std::string& kept);
    // The seen list from the seen file's text; false for a bad header.
    bool ReadState(const char* text, long size);
    // A copy of the current item, read under the mutex.
    News CurrentItem();

    // The game's question: has the player played long enough (null: no).
    bool (*played_enough)() = nullptr;

    bool initialised = false;
    bool state_ready = false;
    int time_ms = 0;
    nArray<nString> seen;
    std::atomic<bool> fetching{false};
    int area_width = 0, area_height = 0;

private:
    // The picture of a parsed item, checked and loaded; null, with one
    // line, when it may not or could not be loaded, and `too_large` set
    // when its stated size is larger than the news area.
    kd_bitmap_t* LoadPicture(const News& item, bool* too_large) const;
    void Retire(kd_bitmap_t* bm);
    void ReleaseRetired();
    kd_mutex_t* Mutex();

    News current;                  // guarded by the mutex
    nArray<kd_bitmap_t*> retired;  // guarded by the mutex
    kd_mutex_t* mutex = nullptr;
};

extern NewsManager news_man;

// The news screen: the picture flies in tilted at twice its size and
// settles at the size that fits the news area; "Close" shows after 1.95 s.
class ScreenVantreoNews : public Screen {
public:
    ScreenVantreoNews() : Screen("VantreoNews") {}
    bool PreLoad() override;
    void Draw(float dt) override;
    void Update(float dt) override;
    void Enter() override;
    int ProcessUICompClick(UIComp* comp, int value) override;
    int ProcessEvent(kd_event_t*) override { return 1; }

    NewsManager::News shown;
    bool answered = false;
    float fit = 1.0f;
    float time = 0.0f;

private:
    void Animate(float dt);
};

extern ScreenVantreoNews screen_VantreoNews;

#endif
