// Fuzzes what the news service reads from outside: the news server's reply
// and the seen-news file "user://vantreo-news.txt" in the player's folder.
// The first byte chooses (even: a reply, odd: the seen file, or with bit
// 1 set the picture cache's list); the rest is the text.
//
// Reply: an item read from it has an id of 2 to 1023 characters without
// ',' or control characters, a picture name, and a link only when it is
// an http:// or https:// address; the events it allows are asked about
// without harm.
// Seen file: whatever was read saves (the newest eight) and reads back as
// the same ids.
// Picture list: a new picture kept leaves four names of the cache's own
// form, itself the last, and removes no file the list may name otherwise.
// Every input is also a news picture: when the size read before decoding
// lets it be decoded (no larger than a news area), the decoder makes a
// picture of that size or none: a header cannot state one size to the
// check and decode to another.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "atomic-file.h"
#include "kd-image.h"
#include "services/news.h"

kodo_t* FuzzEngineSetup();

namespace {

std::string Joined(const NewsManager& m) {
    std::string s;
    for (int i = 0; i < m.seen.count; i++) s += (i ? "," : "") + std::string(m.seen[i].c_str());
    return s;
}

void Reply(const uint8_t* data, size_t size) {
    std::string text((const char*)data, size);
    if (text.size() < 2 || text.front() != '{' || text.back() != '}') return;  // the {} check comes first
    NewsManager::News item;
    if (!NewsManager::ParseReply(text.c_str(), (int)text.size(), &item)) return;
    int n = item.id.Length();
    if (n < 2 || n > NewsManager::kMaxValue || strchr(item.id.c_str(), ',')) abort();
    for (const char* c = item.id.c_str(); *c; c++)
        if ((unsigned char)*c < 0x20) abort();
    if (item.has_link && strncmp(item.link.c_str(), "http://", 7) != 0 &&
        strncmp(item.link.c_str(), "https://", 8) != 0)
        abort();
    NewsManager::EventAllowed(item.allowed_events.c_str(), "Before_MainMenu");
    NewsManager::EventAllowed(item.allowed_events.c_str(), item.tags.c_str());
}

void SeenFile(const uint8_t* data, size_t size) {
    kd_file_t* f = kd->OpenFile(NewsManager::kStateFile, "wb");
    if (!f) abort();
    if (size) kd->WriteFile(data, (unsigned)size, f);
    kd->CloseFile(f);
    news_man.Reset();
    if (!news_man.LoadState()) return;
    if (news_man.seen.count > NewsManager::kMaxReadIds) abort();
    news_man.SaveState();
    std::string saved = Joined(news_man);
    news_man.Reset();
    if (!news_man.LoadState() || Joined(news_man) != saved) abort();
}

void PictureList(const uint8_t* data, size_t size) {
    kd->CreateDirectory("user://cache");
    kd_file_t* f = kd->OpenFile(NewsManager::kPictureList, "wb");
    if (!f) abort();
    if (size) kd->WriteFile(data, (unsigned)size, f);
    kd->CloseFile(f);
    AtomicWriteFile("user://kept.txt", "x", 1);
    NewsManager::KeepNewestPictures("news-0123456789abcdef.png");
    std::string list;
    if (kd_file_t* r = kd->OpenFile(NewsManager::kPictureList, "rb")) {
        char text[256];
        list.assign(text, kd->ReadFile(text, sizeof text, r));
        kd->CloseFile(r);
    }
    if (list.size() < 26 || list.size() > 4 * 26 || list.size() % 26 ||
        list.compare(list.size() - 26, 26, "news-0123456789abcdef.png\n"))
        abort();
    if (!kd->CallExtension("FileExists", "user://kept.txt")) abort();
}

// The news area of the largest screen.
const int kAreaWidth = 1280, kAreaHeight = 800;

void Picture(const uint8_t* data, size_t size) {
    const char* ext = NewsManager::PictureKind(data, size);
    if (!ext) return;
    std::string path = std::string("user://picture") + ext;
    kd_file_t* f = kd->OpenFile(path.c_str(), "wb");
    if (!f) abort();
    kd->WriteFile(data, (unsigned)size, f);
    kd->CloseFile(f);
    int width = 0, height = 0;
    if (NewsManager::PictureSize(path.c_str(), &width, &height) && width <= kAreaWidth && height <= kAreaHeight) {
        kd_image_t img;
        memset(&img, 0, sizeof img);
        if (GetImageLoaderImp()->LoadImagePixels(&img, path.c_str()) && (img.width != width || img.height != height))
            abort();
        GetImageLoaderImp()->FreeImagePixels(&img);
    }
    kd->DeleteFile(path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kd = FuzzEngineSetup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Picture(data, size);
    if (size < 1) return 0;
    if ((data[0] & 3) == 3)
        PictureList(data + 1, size - 1);
    else if (data[0] & 1)
        SeenFile(data + 1, size - 1);
    else
        Reply(data + 1, size - 1);
    return 0;
}
