// In-app purchases: the game's purchasable items, sold through the
// platform's store.
//
// The items are defined in "in-app-purchases/in-app-purchases.xml" (array
// "ITEMS": node id = the store's item id, values "name", "price", "desc").
// What the store has confirmed as bought is kept, for all profiles, in the
// purchase record "user://local-in-app-purchases.xml" (array "purchases":
// node id = item id, values "store_ack" = "1" once confirmed, and "price"
// as the store reported it). Whether a bought item is switched on is a
// profile value ("ACTIVE_IAPS"/<item id>/"active", on unless "0").
//
// The store ("IAP_" extension commands) answers with engine events
// (KD_EVENT_STORE_*), which the screen manager passes to ProcessEvent. While the store
// works the screen "PurchaseInProgress" is shown, the outcome in the
// popup "IAPPopup" (screen messages "Title" and "Text"); a successful
// purchase closes "Unlocks".
//
// The purchase record is what the player paid for, so it is handled as
// player data: every save replaces the file whole or not at all, and a
// damaged record is copied aside (one log line names it) while the items
// that could still be read from it stay bought and are saved over it.
// Item ids and texts from the store's events are refused when empty or
// beyond their bounds.
//
// An uninitialised service (no product feature "IN_APP_PURCHASES", or no
// item definitions) ignores every call and answers false or null.
#ifndef FRAMEWORK_IN_APP_PURCHASES_H
#define FRAMEWORK_IN_APP_PURCHASES_H

#include "dataman.h"
#include "framework-kd.h"
#include "kodo.h"
#include "nstring.h"

class InAppPurchasesManager {
public:
    // Bounds of what the store's events carry.
    enum { kMaxItemId = 127, kMaxText = 63 };

    InAppPurchasesManager() : credits("?") {}
    InAppPurchasesManager(const InAppPurchasesManager&) = delete;
    InAppPurchasesManager& operator=(const InAppPurchasesManager&) = delete;

    bool Initialize();
    // Back to the state before Initialize; the databases are released.
    void Reset();
    void RegisterLuaFunctions();
    bool IsInitialized() const { return initialised; }

    // 1 when the event was the service's (types 33 to 35), else 0.
    int ProcessEvent(kd_event_t* event);
    void PurchaseItem(const char* id);
    void RestorePurchases();
    bool IsItemPurchased(const char* id) const;
    bool IsItemPurchasedAndActiveForCurrentProfile(const char* id);
    // For "price", the store's price when it reported one; otherwise the
    // item's definition. Null for unknown items and before Initialize.
    const char* GetItemValue(const char* id, const char* key) const;
    void SetItemPrice(const char* id, const char* price);
    bool IsOffersSupported() const;
    void OpenOffers();
    nString GetNumberOfCredits() const { return credits; }
    int GetNumberOfPendingPurchases() const { return pending; }

    static const char* const kRecordFile;
    static const char* const kDefinitionsFile;

private:
    void LoadRecord();
    bool SaveRecord();
    void Popup(const char* title, const char* text);

    DMDatabase* definitions = nullptr;
    DMArray* items = nullptr;
    DMDatabase* record = nullptr;
    DMArray* purchases = nullptr;
    int pending = 0;
    bool initialised = false;
    nString credits;
    // The record is there but could not be read or copied aside: saving
    // would destroy it.
    bool save_blocked = false;
};

extern InAppPurchasesManager iap_man;

#endif
