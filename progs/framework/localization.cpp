#include "localization.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "atomic-file.h"
#include "manager.h"
#include "xmlreader.h"

LocalizationManager loc_man;

const char* const LocalizationManager::kBlankLine = "@";

LocalizationManager::LocalizationManager() : languageFile("none.xml"), newStringsFile("none-new.xml") {
    entries.shrink = false;
}

LocalizationManager::~LocalizationManager() { FreeEntries(); }

void LocalizationManager::FreeEntries() {
    for (int i = 0; i < entries.count; i++) {
        Entry* e = entries.data[i];
        free(e->source);
        free(e->translation);
        if (e->comment != kBlankLine) free((char*)e->comment);
        delete e;
    }
    entries.Free();
    bySource.clear();
    comments.clear();
}

static size_t EntryBytes(const LocalizationManager::Entry* e);

LocalizationManager::Entry* LocalizationManager::Append(const char* source, const char* translation,
                                                        const char* comment, int fromFile, int uses) {
    Entry* e = new Entry;
    e->source = source ? nStringDuplicate(source) : nullptr;
    e->translation = translation ? nStringDuplicate(translation) : nullptr;
    e->comment = comment == kBlankLine ? kBlankLine : (comment ? nStringDuplicate(comment) : nullptr);
    e->fromFile = (unsigned char)fromFile;
    e->uses = uses;
    entries.InsertLast(e);
    if (e->source && e->translation) bySource.emplace(e->source, e);
    if (e->comment && e->comment != kBlankLine) comments.insert(e->comment);
    if (!fromFile) newStringsBytes += EntryBytes(e);
    return e;
}

// ---------------------------------------------------------------------------
// Writing conversion of the new-strings file. The result grows with the
// text, so a value of any length converts whole. Reading needs no step of
// its own: the XML reader already turns these escapes back (a second pass
// would eat every backslash a source holds).

// The text written for the character at `s`; `plain` holds one that
// stands for itself.
static const char* Escape(const char* s, char plain[2]) {
    switch (*s) {
        case '"': return "\\\"";
        case '\n': return "\\n";
        case '\r': return "\\r";
        case '\t': return "\\t";
        // Escapes written by hand survive a round through the file.
        case '\\': return s[1] == 'n' || s[1] == 't' || s[1] == 'r' ? "\\" : "\\\\";
        // The reader decodes "&quot;" and "&amp;": a source that holds them
        // as text must come back unchanged.
        case '&': return "&amp;";
        default: plain[0] = *s, plain[1] = 0; return plain;
    }
}

std::string LocalizationManager::EncodeText(const char* s) {
    std::string out;
    char plain[2];
    for (; s && *s; s++) out += Escape(s, plain);
    return out;
}

// What EncodeText makes of the text, in bytes, without making it.
static size_t EncodedBytes(const char* s) {
    size_t n = 0;
    char plain[2];
    for (; s && *s; s++) n += strlen(Escape(s, plain));
    return n;
}

// An entry's bytes in the file, as WriteLanguageStringTable writes them.
static const size_t kNodeBytes = sizeof " <node\n  id = \"\"\n  to = \"\" />\n" - 1;
static const size_t kCommentBytes = sizeof " <!--  -->\n" - 1;

static size_t EntryBytes(const LocalizationManager::Entry* e) {
    if (e->comment == LocalizationManager::kBlankLine) return 1;
    if (e->comment) return kCommentBytes + EncodedBytes(e->comment);
    return kNodeBytes + EncodedBytes(e->source) + EncodedBytes(e->translation);
}

// ---------------------------------------------------------------------------

bool LocalizationManager::LoadLanguageFile() {
    XMLReader xml;
    if (!xml.OpenFile(languageFile.c_str(), false)) {
        kd->Printf("Language file not found.\n");
        return true;
    }
    // The declaration. No block at all: nothing more to do, not even the
    // separators.
    if (!xml.ReadNextBlock()) return false;
    int firstEntry = entries.count;
    while (!xml.EndOfFile()) {
        XMLBlock* b = xml.ReadNextBlock();
        if (!b) break;
        if (nStringsMatch(b->tag, "array")) continue;
        if (!nStringsMatch(b->tag, "node") && !nStringsMatch(b->tag, "String")) continue;
        // Values come decoded from the reader.
        const char* from = nullptr;
        const char* to = nullptr;
        for (int i = 0; i < b->count; i++) {
            if (!from && (nStringsMatch(b->names[i], "id") || nStringsMatch(b->names[i], "from")))
                from = b->values[i];
            else if (!to && nStringsMatch(b->names[i], "to"))
                to = b->values[i];
        }
        // A missing "to" leaves the entry without translation, so the text
        // is shown as it is and collected as a new string.
        if (from || to) Append(from ? from : "", to, nullptr, 1, 0);
    }
    if (xml.IsDamaged()) {
        // The translations read before the damage are used; the rest of the
        // texts show untranslated.
        kd->PrintDebugf(KD_LOG_WARNING,
                        "Language file '%s' is damaged at line %d; the %d translations before it are used.\n",
                        languageFile.c_str(), xml.GetDamageLine(), entries.count - firstEntry);
    }
    return true;
}

void LocalizationManager::Initialize() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "LocalizationManager::Initialize.\n");
    thousandsSeparator = ',';
    hourSeparator = ':';
    minuteSeparator = ':';
    const char* locale = Manager::GetParms()->locale;
    bool haveLocale = locale && *locale;
    if (!haveLocale && !active) return;
    active = true;
    kd->Printf("Initializing language translation.\n");
    if (haveLocale) {
        char path[512];
        snprintf(path, sizeof path, "res://data-%s", locale);
        kd->AddSearchPath(path, true);
    }
    languageFile.Set("language.xml");
    // The program's data is read-only; the collected texts go to the
    // player's folder, where a developer picks them up.
    newStringsFile.Set("user://language-new-strings.xml");
    FreeEntries();
    newStringsBytes = 0;
    newStringsPending = false;
    for (bool& r : boundReported) r = false;
    framesSinceWrite = kNewStringsWriteFrames;

    if (!LoadLanguageFile()) return;

    const char* sep = Localize("THOUSANDS_SEPARATOR");
    if (sep && *sep) thousandsSeparator = sep[0];
    const char* format = Localize("TIME_FORMAT");
    if (!format) format = "HH:MM:SS";
    size_t n = strlen(format);
    if (n >= 3) hourSeparator = format[2];
    if (n >= 6) minuteSeparator = format[5];
    WritePendingNewStrings();
}

const char* LocalizationManager::Localize(const char* text) {
    if (!active || !text || !*text || strcmp(text, " ") == 0) return text;
    if (text[0] == '@') return nullptr;
    auto found = bySource.find(text);
    if (found != bySource.end()) {
        found->second->uses++;
        return found->second->translation;
    }
    if (strcmp(text, "THOUSANDS_SEPARATOR") == 0) {
        LocalizeNewLine();
        return AddNewString(text, ",");
    }
    if (strcmp(text, "TIME_FORMAT") == 0) {
        LocalizeNewLine();
        return AddNewString(text, "HH:MM:SS");
    }
    // Collected with itself as its translation.
    if (!Fits(kNodeBytes + 2 * EncodedBytes(text), kText, text)) return text;
    return AddNewString(text, text);
}

bool LocalizationManager::Fits(size_t bytes, Route route, const char* text) {
    if (newStringsBytes + bytes <= kNewStringsMaxBytes) return true;
    static const char* const kRouteNames[kRoutes] = {"text", "comment", "blank line"};
    if (!boundReported[route])
        kd->PrintDebugf(KD_LOG_WARNING,
                        "The new-strings file holds %zu bytes; a %s of %zu more would pass the %zu it may: '%.40s' and "
                        "later ones are not collected.\n",
                        newStringsBytes, kRouteNames[route], bytes, kNewStringsMaxBytes, text);
    boundReported[route] = true;
    return false;
}

void LocalizationManager::LocalizeComment(const char* text) {
    if (!active || !text) return;
    if (!Fits(kCommentBytes + EncodedBytes(text), kComment, text) || comments.count(text)) return;
    Append(nullptr, nullptr, text, 0, 0);
    newStringsPending = true;  // the file's news as much as a text
}

// A blank line after a blank line adds nothing a translator sees.
void LocalizationManager::LocalizeNewLine() {
    if (!active) return;
    if (entries.count && entries.data[entries.count - 1]->comment == kBlankLine) return;
    if (!Fits(1, kBlankLineRoute, "")) return;
    Append(nullptr, nullptr, kBlankLine, 0, 0);
}

const char* LocalizationManager::AddNewString(const char* source, const char* translation) {
    Entry* e = Append(source ? source : "", translation ? translation : "", nullptr, 0, 1);
    newStringsPending = true;
    if (framesSinceWrite >= kNewStringsWriteFrames) WritePendingNewStrings();
    return e->translation;
}

void LocalizationManager::Update() {
    if (framesSinceWrite < kNewStringsWriteFrames) framesSinceWrite++;
    if (framesSinceWrite >= kNewStringsWriteFrames) WritePendingNewStrings();
}

void LocalizationManager::WritePendingNewStrings() {
    if (!newStringsPending) return;
    newStringsPending = false;
    framesSinceWrite = 0;
    WriteLanguageStringTable();
}

static int CountWords(const char* s) {
    int words = 0;
    bool inWord = false;
    for (; s && *s; s++) {
        bool space = *s == ' ' || *s == '\t' || *s == '\n' || *s == '\r';
        if (!space && !inWord) words++;
        inWord = !space;
    }
    return words;
}

void LocalizationManager::WriteLanguageStringTable() {
    if (!active) return;
    AtomicFile out;
    if (!out.Open(newStringsFile.c_str())) return;
    out.Printf("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n");
    out.Printf("<root>\n");
    out.Printf("<array id=\"STRINGS\">\n");
    int words = 0, written = 0;
    for (int i = 0; i < entries.count; i++) {
        Entry* e = entries.data[i];
        if (e->fromFile) continue;
        written++;
        if (e->comment == kBlankLine) {
            out.Printf("\n");
        } else if (e->comment) {
            out.Printf(" <!-- %s -->\n", EncodeText(e->comment).c_str());
        } else {
            out.Printf(" <node\n");
            out.Printf("  id = \"%s\"\n", EncodeText(e->source).c_str());
            out.Printf("  to = \"%s\" />\n", EncodeText(e->translation).c_str());
            words += CountWords(e->source);
        }
    }
    out.Printf("\n\n");
    out.Printf(" <!-- %d ref words in total. -->\n", words);
    out.Printf(" <!-- %d ref strings in total. -->\n", written);
    out.Printf("</array>\n");
    out.Printf("</root>\n");
    out.Commit();
}

const char* LocalizationManager::LocalizeNumber(int value) {
    static char buffers[4][64];
    static int next = 0;
    char* out = buffers[next];
    next = (next + 1) & 3;
    char digits[32];
    snprintf(digits, sizeof digits, "%d", value);
    int len = (int)strlen(digits);
    int o = 0;
    for (int i = 0; i < len; i++) {
        out[o++] = digits[i];
        int after = len - 1 - i;  // characters after this one, all digits
        if (i < len - 1 && digits[i] != '-' && after % 3 == 0) out[o++] = thousandsSeparator;
    }
    out[o] = 0;
    return out;
}

const char* LocalizationManager::LocalizeTime(unsigned long ms) {
    static char buffers[4][64];
    static int next = 0;
    char* out = buffers[next];
    next = (next + 1) & 3;
    unsigned long s = ms / 1000;
    unsigned long hours = ms / 3600000;
    int minutes = (int)((s % 3600) / 60);
    int seconds = (int)(s % 60);
    if (hours)
        snprintf(out, 64, "%.2lu%c%.2d%c%.2d", hours, hourSeparator, minutes, minuteSeparator, seconds);
    else
        snprintf(out, 64, "%.2d%c%.2d", minutes, minuteSeparator, seconds);
    return out;
}

void LocalizationManager::Shutdown() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "LocalizationManager::Shutdown.\n");
    if (!active) return;
    kd->Printf("LocalizationManager::Shutdown\n");
    WritePendingNewStrings();
    if (Manager::GetParms()->developer_mode) {
        for (int i = 0; i < entries.count; i++) {
            Entry* e = entries.data[i];
            if (e->source && e->uses == 0)
                kd->PrintDebugf(KD_LOG_WARNING, "Translation #%d: '%s' never used.\n", i, e->source);
        }
    }
    FreeEntries();
    // The table is gone: translating on would only collect every text
    // again into the new-strings file.
    active = false;
}
