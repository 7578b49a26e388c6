#include "test-support.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "rendimp.h"

static void Sink(int level, const char* line, void* user) {
    static_cast<LogCapture*>(user)->lines.push_back(line);
}

LogCapture::LogCapture(Kind k) : kind(k) {
    if (kind == kLogFile)
        KDI_SetLogFileSink(Sink, this);
    else
        KDI_SetLogSink(Sink, this);
}
LogCapture::~LogCapture() {
    if (kind == kLogFile)
        KDI_SetLogFileSink(nullptr, nullptr);
    else
        KDI_SetLogSink(nullptr, nullptr);
}

bool LogCapture::Contains(const std::string& text) const { return IndexOf(text) >= 0; }

int LogCapture::IndexOf(const std::string& text) const {
    for (size_t i = 0; i < lines.size(); i++)
        if (lines[i].find(text) != std::string::npos) return (int)i;
    return -1;
}

TempWorkDir::TempWorkDir() {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) previous = cwd;
    char tmpl[] = "/tmp/kodo-test-XXXXXX";
    char* made = mkdtemp(tmpl);
    path = made ? made : "/tmp";
    if (chdir(path.c_str()) != 0) abort();
}

TempWorkDir::~TempWorkDir() {
    if (!previous.empty() && chdir(previous.c_str()) != 0) abort();
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

bool StartEngine() {
    KDID_SetRendImpFactory(GetRendImpNull);
    if (!KDI_PreInit(nullptr)) return false;
    return KDI_Init();
}

void StopEngine() { KODO_Shutdown(); }
