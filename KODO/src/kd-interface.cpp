// The interface table, the extension table, the program record check and
// the built-in null program.
#include "kd-internal.h"

kodo_t kodo;
namespace kodo_engine {
kodo_t* kd = &kodo;
}
kd_prog_t* kd_prog = nullptr;

static kodo_ext_t kodo_ext;
static nString command_line;

void KDI_SetCommandLine(int argc, char** argv) {
    nString line;
    line.Set("");
    for (int i = 0; i < argc; i++) {
        if (i) line.Append(" ");
        line.Append(argv[i]);
    }
    command_line = line;
}

const char* KDI_GetCommandLine() { return command_line.c_str(); }

static void FillExtensionTable(kodo_ext_t* ext) {
    ext->GetShader = KD_GetShader;
    ext->SetShader = KD_SetShader;
    ext->SetShaderBitmap = KD_SetShaderBitmap;
    ext->SetShaderParm = KD_SetShaderParm;
    ext->DrawBitmapRS = KDE_DrawBitmapRS;
}

kodo_ext_t* KDIE_GetExtensionInterface() {
    FillExtensionTable(&kodo_ext);
    return &kodo_ext;
}

void KDI_SetBasicInterface(kodo_t* t) {
    t->Printf = KD_Printf;
    t->PrintDebugf = KD_PrintDebugf;
    t->Popupf = KD_Popupf;
    t->Sleep = KDT_Sleep;
    t->GetTime = KD_GetTime;
    t->GetMutex = KD_GetMutex;
    t->ReleaseMutex = KD_ReleaseMutex;
    t->LockMutex = KD_LockMutex;
    t->UnlockMutex = KD_UnlockMutex;
    t->CreateThread = KD_CreateThread;
    t->GetCurrentThreadId = KD_GetCurrentThreadId;
    t->IsMainThread = KD_IsMainThread;
    t->SynchronizeWithMainThreadBegin = KD_SynchronizeWithMainThreadBegin;
    t->SynchronizeWithMainThreadEnd = KD_SynchronizeWithMainThreadEnd;
    t->GetFont = KD_GetFont;
    t->LoadFont = KD_LoadFont;
    t->RefreshFont = KD_RefreshFont;
    t->ReleaseFont = KD_ReleaseFont;
    t->SaveFont = KD_SaveFont;
    t->SetCursor = KDD_SetCursor;
    t->SignalShutdown = KD_SignalShutdown;
    t->ReInit = KD_ReInit;
    t->CallExtension = KD_CallExtension;
    t->GetPath = KD_GetPath;
    t->GetPathEx = KD_GetPathEx;
    t->CreateDirectory = KD_CreateDirectory;
    t->AddSearchPath = KD_AddSearchPath;
    t->RemoveSearchPath = KD_RemoveSearchPath;
    t->GetSearchPath = KD_GetSearchPath;
    t->GetNumberOfSearchPaths = KD_GetNumberOfSearchPaths;
    t->DeleteFile = KD_DeleteFile;
    t->OpenFile = KD_OpenFile;
    t->CloseFile = KD_CloseFile;
    t->ReadFile = KD_ReadFile;
    t->WriteFile = KD_WriteFile;
    t->FlushFile = KD_FlushFile;
    t->GetFilePosition = KD_GetFilePosition;
    t->SetFilePosition = KD_SetFilePosition;
    t->fgetc = KD_fgetc;
    t->fseek = KD_fseek;
    t->ftell = KD_ftell;
    t->fread = KD_fread;
    t->fwrite = KD_fwrite;
    t->FindFiles = KD_FindFiles;
    t->FreeList = KD_FreeList;
    t->SendHttpRequest = KD_SendHttpRequest;
    t->AllocBuffer = KD_AllocBuffer;
    t->FreeBuffer = KD_FreeBuffer;
    t->GetKeyStatei = KD_GetKeyStatei;
    t->SetKeyStatei = KD_SetKeyStatei;
    t->GetKeyStatef = KD_GetKeyStatef;
    t->SetKeyStatef = KD_SetKeyStatef;
    t->GetSound = KD_GetSound;
    t->LoadSound = KD_LoadSound;
    t->GetSoundEx = KD_GetSoundEx;
    t->ReleaseSound = KD_ReleaseSound;
    t->SetSoundCacheMode = KD_SetSoundCacheMode;
    t->SetMasterVolume = KD_SetMasterVolume;
    t->PlaySound = KD_PlaySound;
    t->StopChannel = KD_StopChannel;
    t->SetChannelPan = KD_SetChannelPan;
    t->SetChannelVolume = KD_SetChannelVolume;
    t->SetChannelPaused = KD_SetChannelPaused;
    t->SetChannelLooping = KD_SetChannelLooping;
    t->SetChannelFrequency = KD_SetChannelFrequency;
    t->IsChannelAlive = KD_IsChannelAlive;
    t->GetChannelSound = KD_GetChannelSound;
    t->SlideChannelVolume = KD_SlideChannelVolume;
    t->StopChannelWithFade = KD_StopChannelWithFade;
    t->PlayMusic = KD_PlayMusic;
    t->StopMusic = KD_StopMusic;
    t->SetMusicPaused = KD_SetMusicPaused;
    t->SetMusicLooping = KD_SetMusicLooping;
    t->GetMusicPlaying = KD_GetMusicPlaying;
    t->SlideMusicVolume = KD_SlideMusicVolume;
    t->PushTransform = KD_PushTransform;
    t->PopTransform = KD_PopTransform;
    t->PeekTransform = KD_PeekTransform;
    t->PushVertexProcessor = KD_PushVertexProcessor;
    t->PopVertexProcessor = KD_PopVertexProcessor;
    t->RemoveVertexProcessor = KD_RemoveVertexProcessor;
    t->ProcessVertex = KD_ProcessVertex;
    t->GetBitmap = KD_GetBitmap;
    t->GetBitmapEx = KD_GetBitmapEx;
    t->LoadBitmap = KD_LoadBitmap;
    t->ReleaseBitmap = KD_ReleaseBitmap;
    t->SaveBitmap = KD_SaveBitmap;
    t->RefreshBitmap = KD_RefreshBitmap;
    t->SetBitmapCacheMode = KD_SetBitmapCacheMode;
    t->CreateBitmap = KD_CreateBitmap;
    t->SetBitmapFrame = KD_SetBitmapFrame;
    t->ClearScreen = KD_ClearScreen;
    t->SetScissorRect = KD_SetScissorRect;
    t->DisableScissorRect = KD_DisableScissorRect;
    t->SetRenderTarget = KD_SetRenderTarget;
    t->SetBlend = KD_SetBlend;
    t->SetPixelFilter = KD_SetPixelFilter;
    t->SetColor = KD_SetColor;
    t->SetAlpha = KD_SetAlpha;
    t->SetTextAlign = KD_SetTextAlign;
    t->SetTextboxWidth = KD_SetTextboxWidth;
    t->SetTextTransform = KD_SetTextTransform;
    t->DrawBitmap = KD_DrawBitmap;
    t->DrawBitmapRS = KD_DrawBitmapRS;
    t->DrawBitmapLine = KD_DrawBitmapLine;
    t->DrawSubBitmap = KD_DrawSubBitmap;
    t->DrawTextf = KD_DrawTextf;
    t->DrawRect = KD_DrawRect;
    t->DrawLine = KD_DrawLine;
    t->DrawBitmap4V = KD_DrawBitmap4V;
    t->BeginBatch = KD_BeginBatch;
    t->BatchDrawQuad = KD_BatchDrawQuad;
    t->EndBatch = KD_EndBatch;
    t->DrawTriangles = KD_DrawTriangles;
    t->GetTextSizef = KD_GetTextSizef;
    t->GetTextWidthf = KD_GetTextWidthf;
    t->GetTextHeightf = KD_GetTextHeightf;
    t->SetDepthRange = KD_SetDepthRange;
    t->SetDepthDefault = KD_SetDepthDefault;
    t->GetDepthDefault = KD_GetDepthDefault;
    t->ClearDepth = KD_ClearDepth;
    t->SetRenderStateb = KD_SetRenderStateb;
    t->SetRenderStatef = KD_SetRenderStatef;
    t->SetRenderStatei = KD_SetRenderStatei;
    FillExtensionTable(&kodo_ext);
    t->ext = &kodo_ext;
}

kd_buffer_t KD_AllocBuffer(int size) {
    kd_buffer_t b;
    memset(&b, 0, sizeof b);
    if (size >= 1) {
        b.data = (unsigned char*)malloc((size_t)size);
        if (b.data) b.size = b.capacity = size;
    }
    return b;
}

void KD_FreeBuffer(kd_buffer_t* b) {
    if (!b) return;
    free(b->data);
    memset(b, 0, sizeof *b);
}

// The null program: a plain green screen that answers every event with 0.
static bool NullInit() { return true; }
static void NullShutdown() {}
static void NullUpdate(float) {}
static void NullDraw(float) {
    kd->SetAlpha(1.0f);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
    kd->ClearScreen(0, 1, 0);
}
static int NullEventProc(kd_event_t) { return 0; }

kd_prog_t* KDI_GetNullProg() {
    static kd_prog_t null_prog;
    memset(&null_prog, 0, sizeof null_prog);
    null_prog.interface_version = KODO_INTERFACE_VERSION;
    null_prog.parms.windowed = true;
    null_prog.parms.flags = true;
    null_prog.parms.reference_counting = true;
    null_prog.Init = NullInit;
    null_prog.Shutdown = NullShutdown;
    null_prog.Update = NullUpdate;
    null_prog.Draw = NullDraw;
    null_prog.EventProc = NullEventProc;
    return &null_prog;
}

kd_prog_t* KDID_LoadProgImp() { return KD_GetInterface(); }

void KDID_UnloadProgImp() { kd_prog = nullptr; }

bool KDI_LoadProgImp() {
    kd_prog = KDID_LoadProgImp();
    if (!kd_prog) return false;
    if (kd_prog->interface_version != KODO_INTERFACE_VERSION) {
        int found = kd_prog->interface_version;
        kd_prog = KDI_GetNullProg();
        kd_state.incompatible_program_replaced = true;
        kd_prog->parms.developer_mode = true;
        char text[512];
        nStringFormat(text, sizeof text,
                      "Program library uses incompatible KODO interface (%.4d instead of %.4d). This program cannot "
                      "run.\n\nUpdate your headers in <this app>/src/include from KODO/src/include and rebuild your "
                      "binaries.\n",
                      found, KODO_INTERFACE_VERSION);
        KD_Printf("KD: %s", text);
        kd_prog->parms.developer_mode = false;
    }
    kd_prog->parms.frame_ms = 8;
    kd_prog->kd = kd;
    kd_prog->parms.command_line = const_cast<char*>(KDI_GetCommandLine());
    return true;
}
