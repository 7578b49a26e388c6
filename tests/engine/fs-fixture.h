// A file system in a fresh working folder, without the rest of start-up:
// openers, roots for developer "Dev" and title "Game", no search paths.
#ifndef FS_FIXTURE_H
#define FS_FIXTURE_H

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "../../tools/pak/pak-folder.h"
#include "kd-console.h"
#include "kd-file.h"
#include "test-support.h"

class FsTest : public ::testing::Test {
protected:
    TempWorkDir dir;
    kd_prog_t record{};

    void SetUp() override {
        kd_state.verbose_level = 0;
        kd_state.developer_mode = false;
        kd_state.initialised = false;
        kd_state.open_file_handles = 0;
        kd_state.main_thread_id = KDT_GetCurrentThreadId();
        strcpy(kd_state.developer, "Dev");
        strcpy(kd_state.title, "Game");
        kd_prog = nullptr;
        KDI_ResetPopups();
        KDI_CreateFileOpeners();
        KDI_InitFileSystem();
        std::filesystem::create_directories("app/native");
        std::filesystem::create_directories("data/Dev/Game");
    }
    void TearDown() override {
        KDI_FreeFileOpeners();
        KDI_FreeSearchPaths();
        kd_con.Free();
        kd_prog = nullptr;
        kd_state.initialised = false;
        kd_state.developer_mode = false;
    }

    // Developer mode with a program record, so that popups show.
    void EnableDeveloperPopups() {
        kd_prog = &record;
        kd_state.developer_mode = true;
    }

    static void WriteFile(const std::string& path, const std::string& bytes) {
        auto parent = std::filesystem::path(path).parent_path();
        if (!parent.empty()) std::filesystem::create_directories(parent);
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
        std::ofstream(path, std::ios::binary).write((const char*)bytes.data(), (std::streamsize)bytes.size());
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    // Reads a whole engine file through the interface, or "<none>".
    static std::string ReadEngineFile(const char* name) {
        kd_file_t* f = KD_OpenFile(name, "rb");
        if (!f) return "<none>";
        std::string s((size_t)f->size, '\0');
        unsigned got = KD_fread(&s[0], 1, (unsigned)s.size(), f);
        s.resize(got);
        KD_CloseFile(f);
        return s;
    }
    static void MakePak(const std::string& path,
                        const std::vector<std::pair<std::string, std::string> >& entries) {
        std::vector<unsigned char> bytes;
        ASSERT_TRUE(KDPak_Build(entries, bytes));
        WriteBytes(path, bytes);
    }
};

#endif
