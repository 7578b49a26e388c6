// Translation of the texts the UI and the game show, and number and time
// formatting with the separators of the language. Texts without a
// translation are collected into a new-strings file for translators.
#ifndef FRAMEWORK_LOCALIZATION_H
#define FRAMEWORK_LOCALIZATION_H

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "framework-kd.h"
#include "kodo.h"
#include "nstring.h"

class LocalizationManager {
public:
    struct Entry {
        char* source = nullptr;
        char* translation = nullptr;
        const char* comment = nullptr;  // owned, or kBlankLine, or null
        unsigned char fromFile = 0;
        int uses = 0;
    };
    static const char* const kBlankLine;

    LocalizationManager();
    ~LocalizationManager();
    LocalizationManager(const LocalizationManager&) = delete;
    LocalizationManager& operator=(const LocalizationManager&) = delete;

    void Initialize();
    const char* Localize(const char* text);
    void LocalizeComment(const char* text);
    void LocalizeNewLine();
    const char* AddNewString(const char* source, const char* translation);
    void WriteLanguageStringTable();
    // Once a frame: the new-strings file is written when it has news and
    // kNewStringsWriteFrames frames have passed since it was last written
    // (a new text after a quiet spell is written at once). Also at the end
    // of Initialize and at Shutdown.
    void Update();
    void WritePendingNewStrings();
    // The bytes the entries of the new-strings file take, as written, all
    // three routes (new texts, comments, blank lines) together. A text or
    // comment that would pass it is shown but not collected, with one line
    // for each route.
    static const size_t kNewStringsMaxBytes = 1u << 20;
    static const int kNewStringsWriteFrames = 60;
    const char* LocalizeNumber(int value);
    const char* LocalizeTime(unsigned long milliseconds);
    void Shutdown();

    bool IsActive() const { return active; }
    int GetNumberOfEntries() const { return entries.count; }
    const Entry* GetEntry(int i) const { return i >= 0 && i < entries.count ? entries.data[i] : nullptr; }
    const char* GetLanguageFile() const { return languageFile.c_str(); }
    const char* GetNewStringsFile() const { return newStringsFile.c_str(); }
    char GetThousandsSeparator() const { return thousandsSeparator; }
    char GetHourSeparator() const { return hourSeparator; }
    char GetMinuteSeparator() const { return minuteSeparator; }

    // The escapes of the new-strings file; any length.
    static std::string EncodeText(const char* text);

private:
    void FreeEntries();
    bool LoadLanguageFile();
    enum Route { kText, kComment, kBlankLineRoute, kRoutes };
    // Whether `bytes` more keep the new strings within their bound; the
    // first refusal of each route is reported.
    bool Fits(size_t bytes, Route route, const char* text);
    Entry* Append(const char* source, const char* translation, const char* comment, int fromFile, int uses);

    nArray<Entry*> entries;
    nString languageFile;
    nString newStringsFile;
    char thousandsSeparator = ',';
    char hourSeparator = ':';
    char minuteSeparator = ':';
    bool active = false;
    // Lookups by text, so that no call walks every entry: the first entry
    // of a source that has a translation, and the comments written.
    std::unordered_map<std::string_view, Entry*> bySource;
    std::unordered_set<std::string_view> comments;
    size_t newStringsBytes = 0;
    bool newStringsPending = false;
    bool boundReported[kRoutes] = {};
    int framesSinceWrite = kNewStringsWriteFrames;
};

extern LocalizationManager loc_man;

#endif
