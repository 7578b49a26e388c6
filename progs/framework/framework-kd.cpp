#include "framework-kd.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

// One do-nothing function per slot type: it takes the slot's arguments
// (variadic slots included) and answers the zero of its result type.
template <typename F>
struct NullSlot;
template <typename R, typename... A>
struct NullSlot<R (*)(A...)> {
    static R Call(A...) { return R(); }
};
template <typename R, typename... A>
struct NullSlot<R (*)(A..., ...)> {
    static R Call(A..., ...) { return R(); }
};

// Every operation slot of kodo_t, once. The count check below fails the
// build when the table grows and this list does not.
#define KD_NULL_TABLE_SLOTS(X)                                                                                   \
    X(Printf) X(PrintDebugf) X(Popupf) X(Sleep) X(GetTime) X(GetMutex) X(ReleaseMutex) X(LockMutex)               \
    X(UnlockMutex) X(CreateThread) X(GetCurrentThreadId) X(IsMainThread) X(SynchronizeWithMainThreadBegin)       \
    X(SynchronizeWithMainThreadEnd) X(GetFont) X(LoadFont) X(RefreshFont) X(ReleaseFont) X(SaveFont)             \
    X(SetCursor) X(SignalShutdown) X(ReInit) X(CallExtension) X(GetPath) X(GetPathEx) X(CreateDirectory)         \
    X(AddSearchPath) X(RemoveSearchPath) X(GetSearchPath) X(GetNumberOfSearchPaths) X(DeleteFile) X(OpenFile)    \
    X(CloseFile) X(ReadFile) X(WriteFile) X(FlushFile) X(GetFilePosition) X(SetFilePosition) X(fgetc) X(fseek)   \
    X(ftell) X(fread) X(fwrite) X(FindFiles) X(FreeList) X(SendHttpRequest) X(AllocBuffer) X(FreeBuffer)         \
    X(GetKeyStatei) X(SetKeyStatei) X(GetKeyStatef) X(SetKeyStatef) X(GetSound) X(LoadSound) X(GetSoundEx)      \
    X(ReleaseSound) X(SetSoundCacheMode) X(SetMasterVolume) X(PlaySound) X(StopChannel) X(SetChannelPan)         \
    X(SetChannelVolume) X(SetChannelPaused) X(SetChannelLooping) X(SetChannelFrequency) X(IsChannelAlive)       \
    X(GetChannelSound) X(SlideChannelVolume) X(StopChannelWithFade) X(PlayMusic) X(StopMusic) X(SetMusicPaused)  \
    X(SetMusicLooping) X(GetMusicPlaying) X(SlideMusicVolume) X(PushTransform) X(PopTransform) X(PeekTransform)  \
    X(PushVertexProcessor) X(PopVertexProcessor) X(RemoveVertexProcessor) X(ProcessVertex) X(GetBitmap)         \
    X(GetBitmapEx) X(LoadBitmap) X(ReleaseBitmap) X(SaveBitmap) X(RefreshBitmap) X(SetBitmapCacheMode)          \
    X(CreateBitmap) X(SetBitmapFrame) X(ClearScreen) X(SetScissorRect) X(DisableScissorRect) X(SetRenderTarget)  \
    X(SetBlend) X(SetPixelFilter) X(SetColor) X(SetAlpha) X(SetTextAlign) X(SetTextboxWidth) X(SetTextTransform) \
    X(DrawBitmap) X(DrawBitmapRS) X(DrawBitmapLine) X(DrawSubBitmap) X(DrawTextf) X(DrawRect) X(DrawLine)        \
    X(DrawBitmap4V) X(BeginBatch) X(BatchDrawQuad) X(EndBatch) X(DrawTriangles) X(GetTextSizef) X(GetTextWidthf) \
    X(GetTextHeightf) X(SetDepthRange) X(SetDepthDefault) X(GetDepthDefault) X(ClearDepth) X(SetRenderStateb)   \
    X(SetRenderStatef) X(SetRenderStatei)

#define KD_COUNT_SLOT(name) +1
static_assert(0 KD_NULL_TABLE_SLOTS(KD_COUNT_SLOT) == sizeof(kodo_t) / sizeof(void*) - 1,
              "the null table lists every operation of kodo_t");
#undef KD_COUNT_SLOT

// Transform reads get a real (identity) matrix, so that a caller may write
// through the answer as it would through the engine's.
nTransform null_transform = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
nTransform* NullPeekTransform() {
    null_transform = nTransform{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    return &null_transform;
}

#define KD_NULL_SLOT(name) t.name = &NullSlot<decltype(t.name)>::Call;

constexpr kodo_ext_t MakeNullExtensions() {
    kodo_ext_t t{};
    KD_NULL_SLOT(GetShader) KD_NULL_SLOT(SetShader) KD_NULL_SLOT(SetShaderBitmap) KD_NULL_SLOT(SetShaderParm)
    KD_NULL_SLOT(DrawBitmapRS)
    return t;
}

kodo_ext_t null_ext = MakeNullExtensions();

// Built at compile time, so the table is whole before any constructor of
// another file runs.
constexpr kodo_t MakeNullTable() {
    kodo_t t{};
    KD_NULL_TABLE_SLOTS(KD_NULL_SLOT)
    t.PeekTransform = NullPeekTransform;
    t.ext = &null_ext;
    return t;
}
#undef KD_NULL_SLOT

}  // namespace

kodo_t kd_null_table = MakeNullTable();
kodo_t* kd = &kd_null_table;

static const kd_parms_t* data_fault_parms = nullptr;

void SetDataFaultParms(const kd_parms_t* parms) { data_fault_parms = parms; }

void ReportDataFault(const char* format, ...) {
    char text[1024];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    if (data_fault_parms && data_fault_parms->developer_mode)
        kd->Popupf(KD_LOG_WARNING, "%s", text);
    else
        kd->PrintDebugf(KD_LOG_WARNING, "%s", text);
}

void KD_AssertFailed(const char* condition, const char* file, int line) {
    // Straight to stderr: the engine's log may be what broke.
    fprintf(stderr, "%s:%d: KD_ASSERT(%s) failed\n", file, line, condition);
    abort();
}
