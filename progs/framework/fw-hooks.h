// Hooks from the start-up sequence, the frame update and the script
// bindings into managers that live in files of their own (features,
// profiles, localization, audio, games, particles).
//
// manager.cpp defines each hook as a weak function with a harmless
// default, so the framework links and runs before those managers exist.
// A manager's file takes over a hook by defining the same function
// normally (a strong definition). In a static library a strong definition
// only wins when its object file is linked for another reason as well, so
// define each hook in the same file as the manager's global object.
#ifndef FRAMEWORK_FW_HOOKS_H
#define FRAMEWORK_FW_HOOKS_H

struct kd_sound_t;

// Start-up and shutdown (in the order Manager calls them).
void FW_InitFeatures();      // FeatureManager::Initialize
void FW_InitAudio();         // AudioManager::Initialize
void FW_InitLocalization();  // LocalizationManager::Initialize
void FW_InitProfiles();      // ProfileManager::Initialize
void FW_InitParticles();     // PartBurstMan::Init
void FW_InitGames();         // GameManager::Initialize
void FW_ShutdownLocalization();  // LocalizationManager::Shutdown

// Product features: default none.
bool FW_FeatureExists(const char* name);

// Frame update from ScreenMan::Update.
void FW_UpdateAudio(float dt);     // AudioManager::Update
void FW_UpdateProfiles(float dt);  // ProfileManager::Update

// Profiles: default no profile.
bool FW_IsProfileActive();
void FW_SaveAllProfiles();
// Makes the profile of that name active (creating it when missing).
void FW_SelectOrCreateProfile(const char* name);

// Audio manager; defaults go straight to the engine with full volumes.
float FW_GetMusicVolume();
float FW_GetSoundVolume();
void FW_SetSoundVolume(float volume);
void FW_SlideMusicVolume(float volume, float seconds);
long FW_PlaySound(kd_sound_t* sound, float volume, float pan, float frequency);
void FW_SwitchMusic(kd_sound_t* sound, float fade_in, float fade_out);
void FW_StopMusic(float fade_out);

// Localization; defaults leave texts as they are.
const char* FW_Localize(const char* text);
void FW_LocalizeComment(const char* text);
void FW_LocalizeNewLine();
const char* FW_LocalizeNumber(int value);
const char* FW_LocalizeTime(int milliseconds);

// Particle effects; defaults do nothing.
void FW_CacheFX(const char* name);
void FW_SpawnFX(const char* name, float x, float y, float a, float b);
void FW_ReloadFxs();

#endif
