// In-app purchases: see in-app-purchases.h.
#include "services/in-app-purchases.h"

#include <string.h>

#include <string>

#include "lua-args.h"
#include "manager.h"
#include "profiles.h"
#include "services/service-screens.h"
#include "services/service-text.h"

InAppPurchasesManager iap_man;

const char* const InAppPurchasesManager::kRecordFile = "user://local-in-app-purchases.xml";
const char* const InAppPurchasesManager::kDefinitionsFile = "in-app-purchases/in-app-purchases.xml";

namespace {

const char* EventText(intptr_t word) { return (const char*)word; }

// Ids are bounded where they come from the store's events, and so where
// they are defined.
bool Sellable(const char* id) { return ServiceTextFits(id, InAppPurchasesManager::kMaxItemId); }

const char* const kTryAgain[2] = {"Please try again", "Unable to make purchase at this time."};
const char* const kRestoreLater = "Unable to restore purchases at this time.";

// A shown text (a price, a balance) from an event, cut to its bound.
nString BoundedText(const char* s) { return ServiceTextCut(s, InAppPurchasesManager::kMaxText); }

int luaf_IAP_PurchaseItem(lua_State* L) {
    LuaArgs a(L, __func__);
    const char* id = a.Text(1);
    if (!a.Failed()) iap_man.PurchaseItem(id);
    return 0;
}

int luaf_IAP_RestorePurchases(lua_State*) {
    iap_man.RestorePurchases();
    return 0;
}

int luaf_IAP_IsItemPurchased(lua_State* L) {
    LuaArgs a(L, __func__);
    return LuaReturnBool(L, iap_man.IsItemPurchased(a.Text(1)));
}

int luaf_IAP_OpenOffers(lua_State*) {
    iap_man.OpenOffers();
    return 0;
}

int luaf_IAP_IsOffersSupported(lua_State* L) { return LuaReturnBool(L, iap_man.IsOffersSupported()); }

int luaf_IAP_GetNumberOfCredits(lua_State* L) { return LuaReturnText(L, iap_man.GetNumberOfCredits().text); }

int ItemValue(lua_State* L, const char* fn, const char* key) {
    LuaArgs a(L, fn);
    return LuaReturnText(L, iap_man.GetItemValue(a.Text(1), key));
}
int luaf_IAP_GetItemName(lua_State* L) { return ItemValue(L, __func__, "name"); }
int luaf_IAP_GetItemPrice(lua_State* L) { return ItemValue(L, __func__, "price"); }
int luaf_IAP_GetItemDescription(lua_State* L) { return ItemValue(L, __func__, "desc"); }

const LuaBinding kIapBindings[] = {
    LUA_BINDING(IAP_PurchaseItem), LUA_BINDING(IAP_RestorePurchases),  LUA_BINDING(IAP_IsItemPurchased),
    LUA_BINDING(IAP_OpenOffers),   LUA_BINDING(IAP_IsOffersSupported), LUA_BINDING(IAP_GetNumberOfCredits),
    LUA_BINDING(IAP_GetItemName),  LUA_BINDING(IAP_GetItemPrice),      LUA_BINDING(IAP_GetItemDescription),
};
static_assert(std::size(kIapBindings) == 9, "the IAP_ script functions");

}  // namespace

void InAppPurchasesManager::RegisterLuaFunctions() { lua_man.AddLuaFunctions(kIapBindings); }

bool InAppPurchasesManager::Initialize() {
    kd->PrintDebugf(KD_LOG_SYSTEM, "InAppPurchasesManager::Initialize.\n");
    kd->Printf("InAppPurchasesManager Initializing.\n");
    definitions = dman.GetDatabase(kDefinitionsFile);
    items = definitions->GetArray("ITEMS");
    if (!items) {
        kd->PrintDebugf(KD_LOG_WARNING, "InAppPurchasesManager: no array ITEMS in '%s'; nothing can be bought.\n",
                        kDefinitionsFile);
        dman.ReleaseDatabase(definitions);  // read afresh by the next try
        definitions = nullptr;
        return false;
    }
    LoadRecord();
    RegisterLuaFunctions();
    // An item whose id the store's events could not carry could be paid
    // for and never recorded: it is not offered.
    std::string ids;
    for (int i = 0; i < items->GetSize(); i++) {
        const char* id = items->GetNode(i)->GetId();
        if (!Sellable(id)) {
            kd->PrintDebugf(KD_LOG_WARNING,
                            "InAppPurchasesManager: item %d of '%s' is refused: its id is empty or longer than %d.\n",
                            i + 1, kDefinitionsFile, (int)kMaxItemId);
            continue;
        }
        if (!ids.empty()) ids += ",";
        ids += id;
    }
    kd->CallExtension("IAP_RequestItemData", ids.c_str());
    initialised = true;
    return true;
}

void InAppPurchasesManager::Reset() {
    if (record) dman.ReleaseDatabase(record);
    if (definitions) dman.ReleaseDatabase(definitions);
    definitions = record = nullptr;
    items = purchases = nullptr;
    pending = 0;
    initialised = false;
    credits.Set("?");
    save_blocked = false;
}

// The record as the player left it. A damaged record is copied aside by
// LoadPlayerDatabase (with its log line), which keeps what was read before
// the damage; those purchases are saved at once over the damaged file, so
// that the next start reads them from a whole one. Until that save is
// done the damaged file stays, and is recovered again at the next start.
void InAppPurchasesManager::LoadRecord() {
    bool damaged = false;
    record = LoadPlayerDatabase(kRecordFile, &save_blocked, &damaged);
    purchases = record->GetArray("purchases");
    if (!purchases) purchases = record->AddArray("purchases");
    if (!damaged || save_blocked) return;
    kd->PrintDebugf(KD_LOG_WARNING, "In-app purchase record: %d purchases read from the damaged file.\n",
                    purchases->GetSize());
    SaveRecord();
}

bool InAppPurchasesManager::SaveRecord() {
    if (save_blocked) {
        kd->PrintDebugf(KD_LOG_WARNING, "In-app purchase record not saved: '%s' could not be read or copied aside.\n",
                        kRecordFile);
        return false;
    }
    return record->Save(kRecordFile);
}

void InAppPurchasesManager::Popup(const char* title, const char* text) {
    service_screens->Message("IAPPopup", "Title", title);
    service_screens->Message("IAPPopup", "Text", text);
    ServicePushScreen("IAPPopup");
}

void InAppPurchasesManager::PurchaseItem(const char* id) {
    if (!initialised) return;
    if (!Sellable(id) || !items->GetNode(id)) {
        if (Manager::GetParms()->developer_mode)
            kd->Popupf(1, "InAppPurchasesManager::PurchaseItem: Unknown item id '%s'\n", id ? id : "(null)");
        return;
    }
    kd->Printf("InAppPurchasesManager::PurchaseItem ('%s')", id);
    if (IsItemPurchased(id)) return;
    // Only a request the store received is answered: one it never got
    // would keep the progress screen up and put the count off by one.
    if (!kd->CallExtension("IAP_IsAvailable", nullptr)) {
        kd->PrintDebugf(KD_LOG_WARNING, "InAppPurchasesManager: the store cannot sell now; '%s' was not asked for.\n",
                        id);
        Popup(kTryAgain[0], kTryAgain[1]);
        return;
    }
    kd->CallExtension("IAP_PurchaseItem", id);
    pending++;
    ServicePushScreen("PurchaseInProgress");
}

void InAppPurchasesManager::RestorePurchases() {
    if (!initialised) return;
    // Answered at once, as a purchase is: a store that cannot sell now
    // sends nothing back, and the progress screen would wait for nothing.
    if (!kd->CallExtension("IAP_IsAvailable", nullptr)) {
        kd->PrintDebugf(KD_LOG_WARNING,
                        "InAppPurchasesManager: the store cannot answer now; no restore was asked for.\n");
        Popup(kTryAgain[0], kRestoreLater);
        return;
    }
    ServicePushScreen("PurchaseInProgress");
    kd->CallExtension("IAP_RestorePurchases", nullptr);
}

bool InAppPurchasesManager::IsItemPurchased(const char* id) const {
    return initialised && id && nStringsMatch(purchases->GetNodeValue(id, "store_ack"), "1");
}

bool InAppPurchasesManager::IsItemPurchasedAndActiveForCurrentProfile(const char* id) {
    if (!IsItemPurchased(id)) return false;
    if (!prof) return true;
    const char* active = prof->GetValue("ACTIVE_IAPS", id, "active");
    if (!active) {
        prof->SetValue("ACTIVE_IAPS", id, "active", "1");
        return true;
    }
    return active[0] == '1';
}

const char* InAppPurchasesManager::GetItemValue(const char* id, const char* key) const {
    if (!initialised || !id || !key) return nullptr;
    if (nStringsMatch(key, "price")) {
        const char* price = purchases->GetNodeValue(id, "price");
        if (price) return price;
    }
    return items->GetNodeValue(id, key);
}

void InAppPurchasesManager::SetItemPrice(const char* id, const char* price) {
    if (!initialised || !id || !price) return;
    kd->Printf("InAppPurchasesManager::SetItemPrice '%s' = %s\n", id, price);
    purchases->SetValue(id, "price", price);
}

bool InAppPurchasesManager::IsOffersSupported() const {
    return initialised && kd->CallExtension("IAP_IsOffersSupported", nullptr) != nullptr;
}

void InAppPurchasesManager::OpenOffers() {
    if (IsOffersSupported()) kd->CallExtension("IAP_OpenOffers", "");
}

int InAppPurchasesManager::ProcessEvent(kd_event_t* e) {
    if (!initialised || !e) return 0;
    const char* item = EventText(e->x);
    switch (e->type) {
        case KD_EVENT_STORE_CREDITS:
            if (e->id == 1 && item) credits = BoundedText(item);
            return 0;  // others may want the balance too

        case KD_EVENT_STORE_ITEM_DATA: {
            ServicePopScreen("PurchaseInProgress");
            if (!Sellable(item)) {
                kd->PrintDebugf(KD_LOG_WARNING,
                                "InAppPurchasesManager: item data without a valid item id is ignored.\n");
                return 1;
            }
            bool confirmed = (e->y & 0xff) != 0;
            if (confirmed) purchases->SetValue(item, "store_ack", "1");
            const char* price = EventText(e->data);
            if (price) SetItemPrice(item, BoundedText(price).text);
            if (confirmed) SaveRecord();
            return 1;
        }

        case KD_EVENT_STORE_PURCHASE: {
            bool success = (e->y & 0xff) != 0;
            bool recordable = Sellable(item);
            // A success without a usable item id cannot be recorded: it ends
            // the pending purchase and shows nothing.
            if (success && !recordable)
                kd->PrintDebugf(KD_LOG_WARNING,
                                "InAppPurchasesManager: a purchase without a valid item id is not recorded.\n");
            if (success && recordable) {
                purchases->SetValue(item, "store_ack", "1");
                if (--pending <= 0) {
                    pending = 0;
                    ServicePopScreen("PurchaseInProgress");
                    const char* name = GetItemValue(item, "name");
                    nString text;
                    text.Format("%s purchased.", name ? name : item);
                    Popup("Success!", text.text);
                    ServicePopScreen("Unlocks");
                }
                // Bought, and the store can restore it, but this device
                // keeps it only for this run: the player is told over it.
                if (!SaveRecord()) {
                    service_screens->Message("PopupOk", "text", "PURCHASE_NOT_SAVED");
                    ServicePushScreen("PopupOk");
                }
                return 1;
            }
            if (pending <= 0) return 1;
            if (--pending == 0) ServicePopScreen("PurchaseInProgress");
            int reason = success ? 0 : (int)e->id;
            if (reason == 2) Popup("Not purchased.", "Not enough credits.");
            if (reason == 3) Popup(kTryAgain[0], kTryAgain[1]);
            if (reason == 4) ServicePopScreen("IAPPopup");
            return 1;
        }

        case KD_EVENT_STORE_BALANCE: {
            const char* balance = EventText(e->data);
            if (balance) credits = BoundedText(balance);
            return 1;
        }

        default:
            return 0;
    }
}
