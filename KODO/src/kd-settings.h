// Program settings (res://prog.xml, res://developer.xml), platform facts
// and device information.
#ifndef KD_SETTINGS_H
#define KD_SETTINGS_H

#include <stdint.h>

class KD_DMDatabase;
class KD_DMNode;

enum {
    KD_PLATFORM_WINDOWS = 1,
    KD_PLATFORM_MAC = 2,
    KD_PLATFORM_IOS = 3,
    KD_PLATFORM_BADA = 4,
    KD_PLATFORM_ANDROID = 5,
    KD_PLATFORM_QT = 6,
    KD_PLATFORM_WEBOS = 7,
    KD_PLATFORM_QNX = 8,
    KD_PLATFORM_PSP = 9,
    KD_PLATFORM_PS_VITA = 10,
    KD_PLATFORM_LINUX = 11,
    KD_PLATFORM_METRO = 12,
};

enum { KD_SCREEN_SMALL = 0, KD_SCREEN_MEDIUM = 1, KD_SCREEN_LARGE = 2 };

struct kd_platform_info_t {
    int32_t platform_id;
    int32_t screen_size_id;
    char device_model[32];
    char os_major[32];
    char os_minor[32];
    char engine_imp[32];
    char unique_id[256];
    char gpu_desc[128];
    char cpu_desc[128];
};

struct kd_device_info_t {
    int32_t width, height;
    bool fullscreen;
    int32_t orientation;  // 4 when width > height, else 1
    int32_t desktop_width, desktop_height;
};

extern kd_platform_info_t kd_platform_info;
extern kd_device_info_t kd_device_info;

// Platform facts.
void KDPI_ClearPlatformInfo();
void KDPI_ResolvePlatformInfo();
void KDID_DetermineDeviceInfo(kd_device_info_t* info);
const char* KDI_GetPlatformIdAsString(int id);
int KDI_GetPlatformIdFromString(const char* text);
const char* KDI_GetPlatformSoundEffectFormat(int id);
const char* KDI_GetPlatformMusicFormat(int id);
const char* KDI_GetScreenSizeIdAsString(int id);

// Reading the settings. KDI_ReadProgramSettings opens the files and hands
// the databases to KDI_ApplyProgramSettings (developer may be null).
void KDI_ReadProgramSettings();
void KDI_ApplyProgramSettings(KD_DMDatabase* prog, KD_DMDatabase* developer);

// Queries.
bool KDI_ProductFeatureExists(const char* name);
bool KDI_FeatureExists(const char* name);  // the same; the start-up's name
// True when `name` stands as a whole word in `text`; words are separated by
// spaces, commas or semicolons in any mix.
bool KDI_FeatureWordInText(const char* text, const char* name);
const char* KDI_GetProductValue(const char* key);
KD_DMNode* KDI_GetDataManifestNode(const char* name);
const char* KDI_GetProgramPackageList(int index);
// The features answer of ProgramInfo: application and variant features
// joined by ',' when both are present.
const char* KDI_GetFeaturesText();

// Key ids by the names that scripts and settings use; 0 when unknown.
int KDI_GetKeyByName(const char* name);

// "<w>x<h>": false (and 0 x 0) unless both sides are in 1..16384.
bool KDI_ParseResolution(const char* text, int* width, int* height);

#endif
