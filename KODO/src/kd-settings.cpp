// Program settings, platform facts and device information.
#include "kd-settings.h"

#include <ctype.h>
#include <math.h>

#include "kd-http.h"
#include "kd-internal.h"
#include "kd-xmldb.h"

kd_platform_info_t kd_platform_info;
kd_device_info_t kd_device_info;

static const int KD_MAX_SCREEN_SIDE = 16384;

// Everything the settings reader keeps. The engine state and the program
// record only borrow these texts.
struct kd_settings_store_t {
    nString app_features;
    nString variant_features;
    nString variant_name;
    nString renderer;
    nString input_imp;
    nString sound_imp;
    nString resolutions;
    nString locale;
    nString packages[5];
    nString prog_db;  // the database the product values come from
    nArray<KD_DMArray*> manifests;  // newest first; arrays live in kd_dman
    nString features_answer;
};
static kd_settings_store_t settings;

// ------------------------------------------------------------ platform ids

static const char* const platform_names[] = {"WINDOWS", "MAC", "IOS", "BADA", "ANDROID", "QT",
                                             "WEBOS", "QNX", "PSP", "PS_VITA", "LINUX", "METRO"};
static const char* const platform_sfx[] = {"OGG_44100", "OGG_44100", "WAV_22050", "WAV_22050_MONO",
                                           "WAV_22050_MONO", "WAV_22050_MONO", "WAV_22050_MONO", "WAV_22050_MONO",
                                           "WAV_22050_MONO", "WAV_22050_MONO", "OGG_44100", "WAV_22050_MONO"};
static const char* const platform_music[] = {"OGG_44100", "OGG_44100", "MP3_44100", "MP3_22050_STEREO",
                                             "MP3_44100", "MP3_44100", "MP3_22050_STEREO", "MP3_22050_STEREO",
                                             "MP3_22050_STEREO", "MP3_44100", "OGG_44100", "MP3_22050_STEREO"};

const char* KDI_GetPlatformIdAsString(int id) { return id >= 1 && id <= 12 ? platform_names[id - 1] : "UNKNOWN"; }

int KDI_GetPlatformIdFromString(const char* text) {
    if (!text) return 0;
    for (int i = 0; i < 12; i++)
        if (strcmp(platform_names[i], text) == 0) return i + 1;
    return 0;
}

const char* KDI_GetPlatformSoundEffectFormat(int id) { return id >= 1 && id <= 12 ? platform_sfx[id - 1] : "UNKNOWN"; }
const char* KDI_GetPlatformMusicFormat(int id) { return id >= 1 && id <= 12 ? platform_music[id - 1] : "UNKNOWN"; }

const char* KDI_GetScreenSizeIdAsString(int id) {
    if (id == KD_SCREEN_MEDIUM) return "MEDIUM";
    if (id == KD_SCREEN_LARGE) return "LARGE";
    return "SMALL";
}

void KDPI_ClearPlatformInfo() { memset(&kd_platform_info, 0, sizeof kd_platform_info); }

void KDPI_ResolvePlatformInfo() {
    kd_platform_info_t* p = &kd_platform_info;
    memset(p, 0, sizeof *p);
    p->platform_id = KD_PLATFORM_QNX;
    p->screen_size_id = KD_SCREEN_LARGE;
    nStringFormat(p->device_model, sizeof p->device_model, "%s", "QNX");
    nStringFormat(p->os_major, sizeof p->os_major, "%s", "QNX");
    nStringFormat(p->os_minor, sizeof p->os_minor, "%s", "6.5+");
    nStringFormat(p->engine_imp, sizeof p->engine_imp, "%s", "KD_QNX");
    nStringFormat(p->unique_id, sizeof p->unique_id, "%s", "UNKNOWN");
}

void KDID_DetermineDeviceInfo(kd_device_info_t* info) {
    if (!info) return;
    int w = kd_state.device_width > 0 ? kd_state.device_width : kd_state.window_width;
    int h = kd_state.device_height > 0 ? kd_state.device_height : kd_state.window_height;
    info->width = w;
    info->height = h;
    info->fullscreen = true;
    info->orientation = w > h ? 4 : 1;
    info->desktop_width = 0;
    info->desktop_height = 0;
}

// --------------------------------------------------------------- key names

int KDI_GetKeyByName(const char* name) {
    if (!name || !*name) return 0;
    static const struct {
        const char* name;
        int id;
    } keys[] = {
        {"BACK", 8},          {"BACKSPACE", 8},
        {"TAB", 9},           {"CLEAR", 12},
        {"RETURN", 13},       {"SHIFT", 16},
        {"CONTROL", 17},      {"MENU", 18},
        {"PAUSE", 19},        {"CAPITAL", 20},
        {"ESCAPE", 27},       {"SPACE", 32},
        {"PAGEUP", 33},       {"PAGEDOWN", 34},
        {"END", 35},          {"HOME", 36},
        {"LEFT", 37},         {"UP", 38},
        {"RIGHT", 39},        {"DOWN", 40},
        {"SELECT", 41},       {"PRINT", 42},
        {"EXECUTE", 43},      {"INSERT", 45},
        {"DELETE", 46},       {"HELP", 47},
        {"MOUSE_X", 504},     {"MOUSE_Y", 505},
        {"MOUSE_Z", 506},     {"MOUSE_WHEEL", 507},
        {"MOUSE_BUTTON_0", 510}, {"MOUSE_BUTTON_LEFT", 510},
        {"MOUSE_BUTTON_1", 511}, {"MOUSE_BUTTON_RIGHT", 511},
        {"MOUSE_BUTTON_2", 512}, {"MOUSE_BUTTON_3", 513},
        {"MOUSE_BUTTON_4", 514}, {"MOUSE_BUTTON_5", 515},
        {"MOUSE_BUTTON_6", 516}, {"MOUSE_BUTTON_7", 517},
        {"ACCELEROMETER_X", 1610}, {"ACCELEROMETER_Y", 1611},
        {"ACCELEROMETER_Z", 1612}, {"VOLUME_UP", 1632},
        {"VOLUME_DOWN", 1633},
    };
    if (name[1] == 0) {
        char c = name[0];
        if (c >= '0' && c <= '9') return c;
        if (c >= 'a' && c <= 'z') return c;
        return 0;
    }
    for (const auto& k : keys)
        if (strcmp(k.name, name) == 0) return k.id;
    return 0;
}

// ---------------------------------------------------------------- features

bool KDI_FeatureWordInText(const char* text, const char* name) {
    if (!text || !name || !*name) return false;
    size_t n = strlen(name);
    const char* from = text;
    for (;;) {
        const char* hit = strstr(from, name);
        if (!hit) return false;
        char before = hit == text ? 0 : hit[-1];
        char after = hit[n];
        bool starts = hit == text || before == ' ' || before == ',' || before == ';';
        bool ends = after == 0 || after == ' ' || after == ',' || after == ';';
        if (starts && ends) return true;
        from = hit + 1;
    }
}

bool KDI_ProductFeatureExists(const char* name) {
    if (KDI_FeatureWordInText(settings.app_features.text, name)) return true;
    return KDI_FeatureWordInText(settings.variant_features.text, name);
}

bool KDI_FeatureExists(const char* name) { return KDI_ProductFeatureExists(name); }

const char* KDI_GetFeaturesText() {
    const char* a = settings.app_features.c_str();
    const char* v = settings.variant_features.c_str();
    settings.features_answer.Set(a);
    if (*a && *v) settings.features_answer.Append(",");
    settings.features_answer.Append(v);
    return settings.features_answer.c_str();
}

// -------------------------------------------------------------- look-ups

const char* KDI_GetProductValue(const char* key) {
    if (!key || settings.prog_db.IsEmpty()) return nullptr;
    KD_DMDatabase* db = kd_dman.FindDatabase(settings.prog_db.text);
    if (!db) return nullptr;
    const char* v = nullptr;
    if (!settings.variant_name.IsEmpty()) v = db->GetValue("VARIANTS", settings.variant_name.text, key);
    if (!v) v = db->GetValue("PARAMETERS", "APPLICATION", key);
    return v;
}

KD_DMNode* KDI_GetDataManifestNode(const char* name) {
    if (!name) return nullptr;
    for (int i = 0; i < settings.manifests.count; i++) {
        KD_DMNode* node = settings.manifests[i]->GetNode(name);
        if (node) return node;
    }
    return nullptr;
}

const char* KDI_GetProgramPackageList(int index) {
    if (index < 0 || index >= 5 || settings.packages[index].IsEmpty()) return nullptr;
    return settings.packages[index].text;
}

// --------------------------------------------------------------- parsing

bool KDI_ParseResolution(const char* text, int* width, int* height) {
    int w = 0, h = 0;
    if (text && strlen(text) < 256) {
        w = atoi(text);
        const char* x = strchr(text, 'x');
        h = x ? atoi(x + 1) : 0;
    }
    bool ok = w >= 1 && h >= 1 && w <= KD_MAX_SCREEN_SIDE && h <= KD_MAX_SCREEN_SIDE;
    if (width) *width = ok ? w : 0;
    if (height) *height = ok ? h : 0;
    return ok;
}

static bool Flag(const char* v) { return v && (v[0] == '1' || v[0] == 't'); }

static char* TrimInPlace(char* s) {
    while (*s == ' ' || *s == '\t') s++;
    char* e = s + strlen(s);
    while (e > s && (e[-1] == ' ' || e[-1] == '\t')) *--e = 0;
    return s;
}

// Copies an identity text into a field of the program record. A text that
// does not fit is refused whole, so the record never holds a cut name.
static void CopyIdentity(char* field, int size, const char* key, const char* value) {
    if (!value) return;
    if ((int)strlen(value) >= size) {
        KD_PrintDebugf(KD_LOG_WARNING, "prog.xml: '%s' value '%s' is longer than %d characters; keeping '%s'.\n", key,
                       value, size - 1, field);
        return;
    }
    memcpy(field, value, strlen(value) + 1);
}

// Applies "<w>x<h>" to the record's reference size; a zero, negative or
// absurd size is refused with a warning and the earlier size stays.
static void ApplyReferenceResolution(const char* where, const char* value) {
    if (!value) return;
    int w, h;
    if (!KDI_ParseResolution(value, &w, &h)) {
        KD_PrintDebugf(KD_LOG_WARNING,
                       "prog.xml:%s reference_resolution '%.64s' is not a usable size; keeping %dx%d.\n", where, value,
                       kd_prog->parms.reference_width, kd_prog->parms.reference_height);
        return;
    }
    kd_prog->parms.reference_width = w;
    kd_prog->parms.reference_height = h;
}

// Keeps the usable entries of a resolution list ("*" or "<w>x<h>"); each
// refused entry is named in a warning.
static void ApplyResolutions(const char* where, const char* value) {
    if (!value) return;
    if (strlen(value) >= 512) {
        KD_PrintDebugf(KD_LOG_WARNING, "prog.xml:%s resolutions list is too long (512 characters or more); ignored.\n",
                       where);
        return;
    }
    char work[512];
    memcpy(work, value, strlen(value) + 1);
    nString clean;
    int entries = 0;
    char* save = nullptr;
    for (char* item = strtok_r(work, ",", &save); item && entries < 32; item = strtok_r(nullptr, ",", &save)) {
        item = TrimInPlace(item);
        if (!*item) continue;
        bool ok = item[0] == '*' || KDI_ParseResolution(item, nullptr, nullptr);
        if (!ok) {
            KD_PrintDebugf(KD_LOG_WARNING, "prog.xml:%s resolution entry '%s' is not a usable size; ignored.\n", where,
                           item);
            continue;
        }
        if (entries++) clean.Append(",");
        clean.Append(item);
    }
    if (!entries) {
        KD_PrintDebugf(KD_LOG_WARNING, "prog.xml:%s resolutions '%.64s' hold no usable size; no list is used.\n", where,
                       value);
        settings.resolutions.Set(nullptr);
        return;
    }
    settings.resolutions.Set(clean.text);
}

static void ApplyFeatureFlags(const char* features, bool allow_autoscale) {
    if (KDI_FeatureWordInText(features, "MULTITOUCH") || KDI_FeatureWordInText(features, "MULTIMOUSE"))
        kd_prog->parms.multi_touch = true;
    if (allow_autoscale && KDI_FeatureWordInText(features, "AUTOSCALE")) kd_state.autoscale = true;
}

static void SetImplementationName(nString* store, const char* value) {
    store->Set(value);
    if (!strstr(store->c_str(), ".dll")) store->Append(".dll");
}

static void ApplyFormatPackage(int list, const char* key, const char* prefix, const char* platform,
                               const char* standard, const char* value, const char* same_text,
                               const char* differs_text) {
    char text[2048];
    if (!value) {
        settings.packages[list].Format("%s%s", prefix, standard);
        return;
    }
    if (strcmp(value, standard) == 0)
        nStringFormat(text, sizeof text, same_text, platform, value, standard);
    else
        nStringFormat(text, sizeof text, differs_text, platform, value, standard, value);
    KD_Printf("KD: %s", text);
    if (strncmp(value, "@open:", 6) == 0) value += 6;
    settings.packages[list].Format("%s%s", prefix, value);
}

static void LoadManifests(const char* value) {
    if (!value || strlen(value) >= 256) {
        if (value)
            KD_PrintDebugf(KD_LOG_WARNING, "prog.xml: manifest list is too long (256 characters or more); ignored.\n");
        return;
    }
    char work[256];
    memcpy(work, value, strlen(value) + 1);
    char* save = nullptr;
    for (char* item = strtok_r(work, ",", &save); item; item = strtok_r(nullptr, ",", &save)) {
        item = TrimInPlace(item);
        if (!*item) continue;
        char path[512];
        KD_GetPathEx(path, sizeof path, 3, "%s", item);
        KD_DMDatabase* db = kd_dman.GetDatabase(path);
        if (db && db->GetNumberOfArrays() >= 1) settings.manifests.InsertFirst(db->GetArray(0));
    }
}

static void ResetSettings() {
    settings.app_features.Set(nullptr);
    settings.variant_features.Set(nullptr);
    settings.variant_name.Set(nullptr);
    settings.renderer.Set(nullptr);
    settings.input_imp.Set(nullptr);
    settings.sound_imp.Set(nullptr);
    settings.resolutions.Set(nullptr);
    settings.locale.Set(nullptr);
    for (auto& p : settings.packages) p.Set(nullptr);
    settings.prog_db.Set(nullptr);
    settings.manifests.Free();

    kd_state.developer_mode = false;
    kd_state.logging = false;
    kd_state.verbose_level = 0;
    kd_state.console_enabled = false;
    kd_state.console_toggle_key = -89;
    kd_state.autoscale = false;
    kd_state.locale = nullptr;
    kd_state.renderer_name = nullptr;
    kd_state.sound_imp_name = nullptr;
    kd_state.input_imp_names[0] = nullptr;
}

// Points the engine state at the stored texts.
static void PublishSettings() {
    kd_state.app_features = settings.app_features.text;
    kd_state.variant_features = settings.variant_features.text;
    kd_state.variant_name = settings.variant_name.text;
    kd_state.resolutions = settings.resolutions.text;
    kd_state.renderer_name = settings.renderer.text;
    kd_state.sound_imp_name = settings.sound_imp.text;
    kd_state.input_imp_names[0] = settings.input_imp.text;
    kd_state.locale = settings.locale.text;
    if (kd_prog && settings.locale.text) kd_prog->parms.locale = settings.locale.text;
    KDI_SetHttpEndpoints(KDI_GetProductValue("analytics_url"), KDI_GetProductValue("news_url"));
}

static void ApplyApplication(KD_DMNode* app) {
    kd_prog_t* p = kd_prog;
    CopyIdentity(p->id, sizeof p->id, "program_id", app->GetValue("program_id"));
    CopyIdentity(p->title, sizeof p->title, "name", app->GetValue("name"));
    CopyIdentity(p->developer_name, sizeof p->developer_name, "developer", app->GetValue("developer"));
    CopyIdentity(p->version, sizeof p->version, "version", app->GetValue("version"));

    const char* locale = app->GetValue("locale");
    if (locale) {
        settings.locale.Set(locale);
        if (strcmp(locale, "auto") == 0) {
            const char* lang = KD_CallExtension("GetLanguage", nullptr);
            if (lang && *lang) {
                char two[3] = {(char)tolower((unsigned char)lang[0]),
                               lang[1] ? (char)tolower((unsigned char)lang[1]) : (char)0, 0};
                settings.locale.Set(two);
            }
        }
    }

    const char* fps = app->GetValue("fps_limit");
    if (fps) {
        // A number as atof reads it ("60fps" is 60). The frame time is
        // 1000 / (limit + 2); one outside 1..1000 ms would spin the loop or
        // freeze the game (a limit near -2 gives hours per frame). A limit
        // below 1 ("abc" and "" read as 0) is no limit anybody meant: the
        // game would run at 2 frames a second.
        double limit = atof(fps);
        double frame = std::isfinite(limit) && limit >= 1.0 ? 1000.0 / (limit + 2.0) : -1.0;
        if (!(frame >= 1.0 && frame <= 1000.0)) {
            KD_PrintDebugf(KD_LOG_WARNING,
                           "prog.xml: fps_limit '%.32s' is below 1 or gives no frame time between 1 and 1000 ms; "
                           "using 8 ms.\n",
                           fps);
            p->parms.frame_ms = 8;
        } else {
            p->parms.frame_ms = (int)frame;
        }
    }

    const char* features = app->GetValue("features");
    if (features) {
        settings.app_features.Set(features);
        ApplyFeatureFlags(features, true);
    }
    ApplyReferenceResolution("APPLICATION", app->GetValue("reference_resolution"));
    const char* packages = app->GetValue("packages");
    if (packages) settings.packages[0].Set(packages);
}

static void ApplyDeveloper(KD_DMNode* dev) {
    if (Flag(dev->GetValue("developer_mode"))) {
        kd_state.developer_mode = true;
        if (settings.app_features.IsEmpty())
            settings.app_features.Set("DEVELOPER_MODE");
        else
            settings.app_features.Format("%s,%s", settings.app_features.c_str(), "DEVELOPER_MODE");
    }
    kd_state.logging = Flag(dev->GetValue("logging"));
    const char* level = dev->GetValue("logging_verbose_level");
    kd_state.verbose_level = 0;
    if (level) {
        static const char* const names[] = {"INFO", "WARNING", "ERROR", "SYSTEM"};
        for (int i = 0; i < 4; i++) {
            if (strstr(level, names[i])) {
                kd_state.verbose_level = i;
                break;
            }
        }
    }
    kd_state.console_enabled = Flag(dev->GetValue("console"));
    const char* key = dev->GetValue("console_toggle_key");
    if (key) {
        int id = KDI_GetKeyByName(key);
        kd_state.console_toggle_key = id;
        if (!id)
            KD_PrintDebugf(KD_LOG_WARNING,
                           "developer settings: unknown console_toggle_key '%.32s'; no key opens the console.\n", key);
    }
}

static void ApplyVariant(KD_DMNode* variant, const char* platform) {
    kd_prog_t* p = kd_prog;
    int platform_id = kd_platform_info.platform_id;
    settings.variant_name.Set(variant->name);
    const char* where = variant->name ? variant->name : platform;

    CopyIdentity(p->title, sizeof p->title, "name", variant->GetValue("name"));
    CopyIdentity(p->developer_name, sizeof p->developer_name, "developer", variant->GetValue("developer"));

    const char* renderer = variant->GetValue("renderer_implementation");
    SetImplementationName(&settings.renderer, renderer ? renderer : "ri_d3d8.dll");
    const char* input = variant->GetValue("input_implementations");
    if (input) SetImplementationName(&settings.input_imp, input);

    ApplyReferenceResolution(where, variant->GetValue("reference_resolution"));
    const char* resolutions = variant->GetValue("resolutions");
    if (resolutions) {
        ApplyResolutions(where, resolutions);
        KD_Printf("Selected resolution %dx%d\n", p->parms.width, p->parms.height);
    }

    const char* features = variant->GetValue("features");
    if (features) {
        settings.variant_features.Set(features);
        ApplyFeatureFlags(features, false);
    }

    ApplyFormatPackage(3, "music_format", "data-music-", where, KDI_GetPlatformMusicFormat(platform_id),
                       variant->GetValue("music_format"),
                       "prog.xml:%s defines deprecated 'music_format' parameter '%s'. Just remove it.\n\nThis "
                       "platform always uses music format '%s'.\n\nSee KODO/docs/audio-formats-per-platform.txt for "
                       "more info.",
                       "prog.xml:%s defines deprecated 'music_format' parameter '%s' but the value differs from "
                       "platform standard ('%s'). To fix the issue:\n1) Remove 'music_format' from prog.xml for this "
                       "variant, and\n2) Add data-music-%s to addon_packages.\n\nSee "
                       "KODO/docs/audio-formats-per-platform.txt for more info.");
    ApplyFormatPackage(2, "sound_fx_format", "data-sfx-", where, KDI_GetPlatformSoundEffectFormat(platform_id),
                       variant->GetValue("sound_fx_format"),
                       "prog.xml:%s defines deprecated 'sound_fx_format' parameter '%s'. Just remove it.\n\nThis "
                       "platform always uses sound effect format '%s'.\n\nSee "
                       "KODO/docs/audio-formats-per-platform.txt for more info.",
                       "prog.xml:%s defines deprecated 'sound_fx_format' parameter '%s' but the value differs from "
                       "platform standard ('%s'). To fix the issue:\n1) Remove 'sound_fx_format' from prog.xml for "
                       "this variant, and\n2) Add data-sfx-%s to addon_packages.\n\nSee "
                       "KODO/docs/audio-formats-per-platform.txt for more info.");

    const char* addons = variant->GetValue("addon_packages");
    if (addons) settings.packages[1].Set(addons);
    const char* sound = variant->GetValue("sound_implementation");
    if (sound) SetImplementationName(&settings.sound_imp, sound);
    LoadManifests(variant->GetValue("manifest"));
}

void KDI_ApplyProgramSettings(KD_DMDatabase* prog, KD_DMDatabase* developer) {
    if (!kd_prog) return;
    ResetSettings();
    if (!prog) {
        PublishSettings();
        return;
    }
    settings.prog_db.Set(prog->name);

    const char* platform = KDI_GetPlatformIdAsString(kd_platform_info.platform_id);
    char variant_key[80];
    nStringFormat(variant_key, sizeof variant_key, "%s/%s", platform,
                  KDI_GetScreenSizeIdAsString(kd_platform_info.screen_size_id));

    KD_DMArray* parameters = prog->GetArray("PARAMETERS");
    KD_DMNode* app = parameters ? parameters->GetNode("APPLICATION") : nullptr;
    if (app) ApplyApplication(app);

    KD_DMArray* dev_parameters = developer ? developer->GetArray("PARAMETERS") : nullptr;
    KD_DMNode* dev = dev_parameters ? dev_parameters->GetNode("DEVELOPER") : nullptr;
    if (!dev && parameters) dev = parameters->GetNode("DEVELOPER");
    if (dev) ApplyDeveloper(dev);

    KD_DMArray* variants = prog->GetArray("VARIANTS");
    if (variants) {
        KD_DMNode* variant = variants->GetNode(variant_key);
        if (!variant) variant = variants->GetNode(platform);
        if (!variant) {
            KD_PrintDebugf(KD_LOG_ERROR, "prog.xml: no build variant '%s' or '%s'; the program cannot run.\n",
                           variant_key, platform);
            KD_Popupf(2,
                      "No build variant found for current platform id '%s'.\n\nUse force_variant to use another "
                      "platform for development purposes.\n",
                      platform);
            exit(-1);
        }
        ApplyVariant(variant, platform);
    }

    if (kd_state.developer_mode && dev) {
        const char* dev_packages = dev->GetValue("developer_packages");
        if (dev_packages) settings.packages[4].Set(dev_packages);
    }

    // Autoscaling divides by the reference size.
    if (kd_state.autoscale && (kd_prog->parms.reference_width <= 0 || kd_prog->parms.reference_height <= 0)) {
        KD_PrintDebugf(KD_LOG_WARNING, "prog.xml: AUTOSCALE needs a reference_resolution; autoscaling stays off.\n");
        kd_state.autoscale = false;
    }
    PublishSettings();
}

// The settings decide whether there is a log at all: a damaged settings
// file is named where it is always seen.
static void ReportDamageOnStderr(const KD_DMDatabase* db) {
    if (db && db->Damage()[0]) {
        fputs(db->Damage(), stderr);
        fflush(stderr);
    }
}

// What was wrong with prog.xml, for the line on stderr that start-up
// prints once it knows where the player's data goes (the settings name
// that folder, and decide whether there is a log at all).
static char settings_problem[600];
const char* KDI_ProgramSettingsProblem() { return settings_problem; }

static void NoteSettingsProblem(const char* text) {
    nStringFormat(settings_problem, sizeof settings_problem, "%s", text);
    size_t n = strlen(settings_problem);
    while (n > 0 && (settings_problem[n - 1] == '\n' || settings_problem[n - 1] == '.')) settings_problem[--n] = 0;
}

void KDI_ReadProgramSettings() {
    if (!kd_prog) return;
    settings_problem[0] = 0;
    kd_file_t* f = KD_OpenFile("res://prog.xml", "rb");
    if (!f) {
        ResetSettings();
        PublishSettings();
        KD_Printf("KD: %s", "Cannot find prog.xml. It should be located in res://.\n");
        NoteSettingsProblem(KD_CallExtension("FileExists", "res://prog.xml")
                                ? "prog.xml cannot be read: built-in settings are used"
                                : "prog.xml is missing: built-in settings are used");
        return;
    }
    char first = 0;
    bool empty = KD_ReadFile(&first, 1, f) == 0;
    KD_CloseFile(f);
    KD_DMDatabase* prog = kd_dman.GetDatabase("res://prog.xml");
    KD_DMArray* parameters = prog ? prog->GetArray("PARAMETERS") : nullptr;
    if (prog && prog->Damage()[0])
        NoteSettingsProblem(prog->Damage());
    else if (!parameters || !parameters->GetNode("APPLICATION"))
        NoteSettingsProblem(empty ? "prog.xml is empty: built-in settings are used"
                                  : "prog.xml holds no settings: built-in settings are used");

    KD_DMDatabase* developer = nullptr;
    kd_file_t* d = KD_OpenFile("res://developer.xml", "rb");
    if (d) {
        KD_CloseFile(d);
        developer = kd_dman.GetDatabase("res://developer.xml");
        ReportDamageOnStderr(developer);
    }
    KDI_ApplyProgramSettings(prog, developer);
}
