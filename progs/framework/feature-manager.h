// Named feature-manager.h, not features.h: the framework folder is an
// include path, and a features.h there would replace the C library's own.
// Product features: named switches from the program settings, tested
// whole-word, plus requirement lists from data files, product values and
// a few platform facts, all answered through the engine's extension
// commands.
#ifndef FRAMEWORK_FEATURES_H
#define FRAMEWORK_FEATURES_H

#include "framework-kd.h"
#include "kodo.h"

class FeatureManager {
public:
    FeatureManager() {}
    ~FeatureManager();
    FeatureManager(const FeatureManager&) = delete;
    FeatureManager& operator=(const FeatureManager&) = delete;

    // Copies the feature list and registers the "FM_" script functions.
    void Initialize();
    bool ProductFeatureExists(const char* name) const;
    // Comma-separated names, '!' marking a forbidden one.
    bool EvaluateProductFeatureRequirementList(const char* list) const;
    const char* GetProductValue(const char* key) const;
    bool UsesPackage(const char* package) const;
    bool IsGameCenterEnabled() const;
    const char* GetCurrentDeviceId() const;
    bool IsRunningOnDevice(const char* model) const;
    int GetCurrentDevicePerformanceClass() const;
    // One static buffer, overwritten by each call.
    const char* GetCurrentPlatformId() const;

    const char* GetFeatureList() const { return features; }
    // Replaces the list (tests, and the copy made by Initialize).
    void SetFeatureList(const char* list);

private:
    char* features = nullptr;
};

extern FeatureManager feature_man;

#endif
