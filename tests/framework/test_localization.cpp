// Translation, collection of missing texts into the new-strings file,
// the escapes of that file, damaged language files and the number and
// time formats.
#include <gtest/gtest.h>

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "fw-support.h"
#include "localization.h"
#include "luaman.h"
#include "manager.h"

namespace {

const char* kDecl = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";

// A working folder whose data tree holds `files` (paths under res://),
// with the engine started there and the given locale in the program
// parameters.
class LocFixture {
public:
    LocFixture(const char* locale, const std::vector<std::pair<std::string, std::string>>& files) {
        char tmpl[] = "/tmp/kodo-loc-XXXXXX";
        if (mkdtemp(tmpl)) dir = tmpl;
        mkdir((dir + "/app").c_str(), 0777);
        mkdir((dir + "/app/native").c_str(), 0777);
        for (auto& f : files) {
            std::string path = dir + "/app/native/" + f.first;
            size_t slash = path.rfind('/');
            mkdir(path.substr(0, slash).c_str(), 0777);
            WriteNative(path, f.second);
        }
        localeText = locale ? locale : "";
        record.parms.locale = locale ? &localeText[0] : nullptr;
        Manager::SetProgramRecord(&record);
        engine.reset(new FwEngine(dir));
    }
    ~LocFixture() {
        loc_man.Shutdown();
        engine.reset();
        Manager::SetProgramRecord(nullptr);
        Manager::SetParms(nullptr);
        system(("rm -rf " + dir).c_str());
    }
    // Written under the "res://" name, so into the writable tree; never
    // into the program's data.
    std::string NewStrings() const {
        loc_man.WritePendingNewStrings();
        EXPECT_FALSE(Exists(dir + "/app/native/language-new-strings.xml"));
        return ReadNative(engine->UserPath("language-new-strings.xml"));
    }
    bool HasNewStrings() const { return Exists(engine->UserPath("language-new-strings.xml")); }
    static bool Exists(const std::string& path) {
        struct stat st;
        return stat(path.c_str(), &st) == 0;
    }

    std::string dir;
    kd_prog_t record{};
    std::string localeText;
    std::unique_ptr<FwEngine> engine;
};

std::string LanguageFile(const std::string& nodes) {
    return std::string(kDecl) + "<root>\n<array id=\"STRINGS\">\n" + nodes + "</array>\n</root>\n";
}

}  // namespace

TEST(Localization, WithoutLocaleTextsPassUnchanged) {
    LocFixture f(nullptr, {{"language.xml", LanguageFile("<node id=\"PLAY\" to=\"Spielen\"/>\n")}});
    loc_man.Initialize();
    EXPECT_FALSE(loc_man.IsActive());
    const char* text = "PLAY";
    EXPECT_EQ(loc_man.Localize(text), text);
    EXPECT_STREQ(loc_man.LocalizeNumber(1234567), "1,234,567");
    EXPECT_STREQ(loc_man.LocalizeTime(61000), "01:01");
    EXPECT_FALSE(f.HasNewStrings());
}

TEST(Localization, TranslatesFromTheLocaleFolderAndCollectsMissingTexts) {
    LocFixture f("de", {{"language.xml", LanguageFile("<node id=\"PLAY\" to=\"Wrong folder\"/>\n")},
                        {"data-de/language.xml",
                         LanguageFile("<node id=\"PLAY\" to=\"Spielen\"/>\n<String from=\"QUIT\" to=\"Ende\"/>\n"
                                      "<node id=\"NOTO\"/>\n<node id=\"THOUSANDS_SEPARATOR\" to=\".\"/>\n"
                                      "<node id=\"TIME_FORMAT\" to=\"HH.MM.SS\"/>\n")}});
    FwLog log;
    loc_man.Initialize();
    ASSERT_TRUE(loc_man.IsActive());
    EXPECT_TRUE(log.Contains("Initializing language translation."));
    EXPECT_STREQ(loc_man.Localize("PLAY"), "Spielen");
    EXPECT_STREQ(loc_man.Localize("QUIT"), "Ende");
    EXPECT_EQ(loc_man.Localize("@hidden"), nullptr);
    EXPECT_STREQ(loc_man.Localize(" "), " ");
    EXPECT_STREQ(loc_man.LocalizeNumber(1234567), "1.234.567");
    EXPECT_STREQ(loc_man.LocalizeTime(3723000), "01.02.03");
    EXPECT_FALSE(f.HasNewStrings());  // everything asked so far was known

    // An id without "to" is shown as it is and collected.
    EXPECT_STREQ(loc_man.Localize("NOTO"), "NOTO");
    const char* first = loc_man.Localize("Two new words");
    EXPECT_STREQ(first, "Two new words");
    EXPECT_EQ(loc_man.Localize("Two new words"), first);  // found the second time
    std::string out = f.NewStrings();
    EXPECT_NE(out.find(" <node\n  id = \"NOTO\"\n  to = \"NOTO\" />\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  id = \"Two new words\"\n"), std::string::npos);
    EXPECT_NE(out.find(" <!-- 4 ref words in total. -->\n"), std::string::npos) << out;
    EXPECT_NE(out.find(" <!-- 2 ref strings in total. -->\n"), std::string::npos);
    EXPECT_EQ(out.find("Spielen"), std::string::npos);  // file entries are not repeated
    EXPECT_EQ(out.rfind("</array>\n</root>\n"), out.size() - 17);
}

TEST(Localization, EmptyLanguageFileGetsTheFormatKeys) {
    LocFixture f("xx", {{"data-xx/language.xml", std::string(kDecl) + "<root></root>\n"}});
    loc_man.Initialize();
    std::string expected = std::string(kDecl) +
                           "<root>\n<array id=\"STRINGS\">\n\n <node\n  id = \"THOUSANDS_SEPARATOR\"\n"
                           "  to = \",\" />\n\n <node\n  id = \"TIME_FORMAT\"\n  to = \"HH:MM:SS\" />\n\n\n"
                           " <!-- 2 ref words in total. -->\n <!-- 4 ref strings in total. -->\n</array>\n</root>\n";
    EXPECT_EQ(f.NewStrings(), expected);
    EXPECT_EQ(loc_man.GetThousandsSeparator(), ',');
    EXPECT_EQ(loc_man.GetHourSeparator(), ':');
}

TEST(Localization, MissingLanguageFileIsLoggedAndEverythingIsNew) {
    LocFixture f("zz", {});
    FwLog log;
    loc_man.Initialize();
    EXPECT_TRUE(log.Contains("Language file not found."));
    EXPECT_STREQ(loc_man.Localize("PLAY"), "PLAY");
    EXPECT_NE(f.NewStrings().find("id = \"PLAY\""), std::string::npos);
}

// New texts are written at most once every 60 frames (at once after a
// quiet spell); texts that differ only in their numbers are each a key;
// texts and comments together fill at most 1 MB of the file, with one
// line for each; blank lines in a row are one.
TEST(Localization, NewStringsAreBatchedAndBoundedInBytes) {
    LocFixture f("xx", {{"data-xx/language.xml", LanguageFile("")}});
    FwLog log;
    loc_man.Initialize();
    auto file = [&] { return ReadNative(f.engine->UserPath("language-new-strings.xml")); };
    EXPECT_STREQ(loc_man.Localize("Soon"), "Soon");
    for (int i = 0; i < 59; i++) loc_man.Update();
    EXPECT_EQ(file().find("Soon"), std::string::npos);
    loc_man.Update();
    EXPECT_NE(file().find("Soon"), std::string::npos);
    for (const char* key : {"EPISODE_1", "EPISODE_2", "EPISODE_3"}) loc_man.Localize(key);
    EXPECT_NE(f.NewStrings().find("EPISODE_3"), std::string::npos);
    const std::string big(100000, '&');  // five bytes each as written
    for (int i = 0; i < 3; i++) {
        loc_man.Localize((big + std::to_string(i)).c_str());
        loc_man.LocalizeComment((big + std::to_string(i)).c_str());
        loc_man.LocalizeNewLine();
    }
    int entries = loc_man.GetNumberOfEntries();
    for (int i = 0; i < 3000; i++) loc_man.LocalizeNewLine();
    EXPECT_LE(loc_man.GetNumberOfEntries(), entries + 1);
    for (const char* route : {"a text of", "a comment of"}) {
        int lines = 0;
        for (const std::string& l : log.Lines()) lines += l.find(route) != std::string::npos;
        EXPECT_EQ(lines, 1) << route;
    }
    std::string out = f.NewStrings();
    EXPECT_LE(out.size(), LocalizationManager::kNewStringsMaxBytes + 200);
    EXPECT_GT(out.size(), 1000000u);  // the first text, 500 KB as written twice
}

TEST(Localization, CommentsAndBlankLines) {
    LocFixture f("xx", {{"data-xx/language.xml", LanguageFile("")}});
    loc_man.Initialize();
    int before = loc_man.GetNumberOfEntries();
    loc_man.LocalizeComment("Main menu");
    loc_man.LocalizeComment("Main menu");
    EXPECT_EQ(loc_man.GetNumberOfEntries(), before + 1);
    loc_man.Localize("Start");
    std::string out = f.NewStrings();
    EXPECT_NE(out.find(" <!-- Main menu -->\n <node\n  id = \"Start\""), std::string::npos) << out;
}

TEST(Localization, EscapesSurviveTheNewStringsFileWhateverTheLength) {
    // Sources with line breaks, quotes, backslashes and entities, one of
    // them far longer than any fixed conversion buffer.
    std::string longText;
    while (longText.size() < 4095) longText += "a \"q\"\n\\x&quot;\t";
    longText.resize(4095);
    const std::string shortText = "Line one\nLine \"two\" C:\\dir &amp; tab\there";
    std::string translated;
    {
        LocFixture f("xx", {{"data-xx/language.xml", LanguageFile("")}});
        loc_man.Initialize();
        EXPECT_EQ(loc_man.Localize(shortText.c_str()), shortText);
        EXPECT_EQ(loc_man.Localize(longText.c_str()), longText);
        translated = f.NewStrings();
    }
    EXPECT_NE(translated.find("Line one\\nLine \\\"two\\\" C:\\\\dir &amp;amp; tab\\there"), std::string::npos)
        << translated;
    EXPECT_GT(translated.size(), 4095u * 1.2);

    // The collected file used as a language file gives every text back.
    LocFixture g("yy", {{"data-yy/language.xml", translated}});
    loc_man.Initialize();
    const char* got = loc_man.Localize(shortText.c_str());
    ASSERT_TRUE(got);
    EXPECT_EQ(std::string(got), shortText);
    got = loc_man.Localize(longText.c_str());
    ASSERT_TRUE(got);
    EXPECT_EQ(std::string(got), longText);
    EXPECT_FALSE(g.HasNewStrings());  // both were found in the file
}

// With translation on, a text starting with '@' has no translation: the
// script gets nil, not an empty text.
TEST(Localization, ScriptsGetNilForTextsStartingWithAt) {
    LocFixture f("xx", {{"data-xx/language.xml", LanguageFile("")}});
    loc_man.Initialize();
    lua_man.Initialize();
    ASSERT_TRUE(lua_man.ExecLuaString(nullptr, "at = Localize('@blank') plain = Localize('Play')"));
    lua_State* L = lua_man.GetMainState();
    lua_getglobal(L, "at");
    EXPECT_TRUE(lua_isnil(L, -1));
    lua_getglobal(L, "plain");
    EXPECT_STREQ(lua_tostring(L, -1), "Play");
    lua_pop(L, 2);
    lua_man.Shutdown();
}

// A damaged language file keeps the translations before the damage, and
// one line names the file and the line.
TEST(Localization, DamagedLanguageFileKeepsWhatCameBefore) {
    for (auto [tail, line] : std::initializer_list<std::pair<const char*, const char*>>{
             {"<node id=\"LATE\" to=\"Spa", "line 4"}, {"<node id=\"LATE\" to=\"Spat\"/>\n<!-- no end", "line 5"}}) {
        LocFixture f("xx", {{"data-xx/language.xml", std::string(kDecl) + "<root><array id=\"STRINGS\">\n"
                                                     "<node id=\"PLAY\" to=\"Spielen\"/>\n" + tail}});
        FwLog log;
        loc_man.Initialize();
        int named = 0;
        for (const std::string& l : log.Lines())
            if (l.find(std::string("Language file 'language.xml' is damaged at ") + line) != std::string::npos) named++;
        EXPECT_EQ(named, 1) << tail;
        EXPECT_STREQ(loc_man.Localize("PLAY"), "Spielen") << tail;
    }
}

TEST(Localization, NumbersAndTimes) {
    LocFixture f(nullptr, {});
    loc_man.Initialize();
    EXPECT_STREQ(loc_man.LocalizeNumber(0), "0");
    EXPECT_STREQ(loc_man.LocalizeNumber(100), "100");
    EXPECT_STREQ(loc_man.LocalizeNumber(1000), "1,000");
    EXPECT_STREQ(loc_man.LocalizeNumber(-123456), "-123,456");
    EXPECT_STREQ(loc_man.LocalizeNumber(-1234), "-1,234");
    EXPECT_STREQ(loc_man.LocalizeNumber(INT_MIN), "-2,147,483,648");
    // The four most recent results stay valid.
    const char* a = loc_man.LocalizeNumber(1);
    const char* b = loc_man.LocalizeNumber(22);
    const char* c = loc_man.LocalizeNumber(333);
    const char* d = loc_man.LocalizeNumber(4444);
    EXPECT_STREQ(a, "1");
    EXPECT_STREQ(b, "22");
    EXPECT_STREQ(c, "333");
    EXPECT_STREQ(d, "4,444");

    EXPECT_STREQ(loc_man.LocalizeTime(0), "00:00");
    EXPECT_STREQ(loc_man.LocalizeTime(59999), "00:59");
    EXPECT_STREQ(loc_man.LocalizeTime(3723000), "01:02:03");
    EXPECT_STREQ(loc_man.LocalizeTime(100UL * 3600000UL), "100:00:00");
}

TEST(Localization, ShutdownListsUnusedTranslationsInDeveloperMode) {
    LocFixture f("xx", {{"data-xx/language.xml",
                         LanguageFile("<node id=\"USED\" to=\"u\"/>\n<node id=\"UNUSED\" to=\"n\"/>\n"
                                      "<node id=\"THOUSANDS_SEPARATOR\" to=\",\"/><node id=\"TIME_FORMAT\" "
                                      "to=\"HH:MM:SS\"/>")}});
    f.record.parms.developer_mode = true;
    loc_man.Initialize();
    loc_man.Localize("USED");
    FwLog log;
    loc_man.Shutdown();
    EXPECT_TRUE(log.Contains("Translation #1: 'UNUSED' never used."));
    EXPECT_FALSE(log.Contains("'USED' never used"));
    EXPECT_FALSE(loc_man.IsActive());
    EXPECT_EQ(loc_man.GetNumberOfEntries(), 0);
}
