// Translation of the texts the UI and the game show, and number and time
// formatting with the separators of the language. Texts without a
// translation are collected into a new-strings file for translators.
#ifndef FRAMEWORK_LOCALIZATION_H
#define FRAMEWORK_LOCALIZATION_H

#include <string>

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
    Entry* Append(const char* source, const char* translation, const char* comment, int fromFile, int uses);

    nArray<Entry*> entries;
    nString languageFile;
    nString newStringsFile;
    char thousandsSeparator = ',';
    char hourSeparator = ':';
    char minuteSeparator = ':';
    bool active = false;
};

extern LocalizationManager loc_man;

#endif
