-- ui/unlocks-events.lua

LuaInclude ("ui/menu-common.lua");

-- The shop's rows: component prefix and the store's item id.
local kItems = {
    {comp = "BigBall", id = "BIG_BALL"},
    {comp = "ExtraLife", id = "EXTRA_LIFE"},
}

-- Without the purchase service (the product has no IN_APP_PURCHASES) the
-- shop shows its items, and a tap on a button says it is not available.
local function Service(name, ...)
    return CallIfPresent(name, ...)
end

local function Refresh()
    for _, item in ipairs(kItems) do
        local c = item.comp
        SetProperty (c .. "Name:textbox.text", Service("IAP_GetItemName", item.id) or item.id);
        SetProperty (c .. "Desc:textbox.text", Service("IAP_GetItemDescription", item.id) or "");
        local bought = Service("IAP_IsItemPurchased", item.id)
        if bought then
            SetProperty (c .. "Buy:button.text", "Bought");
            SetProperty (c .. "Buy:active", 0);
        else
            SetProperty (c .. "Buy:button.text", Service("IAP_GetItemPrice", item.id) or "-");
            SetProperty (c .. "Buy:active", 1);
        end
    end
    local credits = Service("IAP_GetNumberOfCredits")
    if credits and credits ~= "?" then
        SetProperty ("Credits:textbox.text", "Credits: " .. credits);
    else
        SetProperty ("Credits:textbox.text", " ");
    end
end

function OnLoad()
    SetProperty ("/:covers_screen", true);
    SetProperty ("/:default_comp", "BigBallBuy");
end

function OnEnter()
    Refresh ();
end

-- The store answers while the shop is shown (prices, restores): twice a
-- second the rows are read again.
local since_refresh = 0
function OnUpdate(dt)
    FadeWithTransition ();
    since_refresh = since_refresh + (dt or 0)
    if since_refresh >= 0.5 then
        since_refresh = 0
        Refresh ();
    end
end

function OnClick(name)
    for _, item in ipairs(kItems) do
        if name == item.comp .. "Buy" then
            CallOrTell ("IAP_PurchaseItem", item.id);
            return
        end
    end
    if name == "Restore" then
        CallOrTell ("IAP_RestorePurchases");
    elseif name == "Back" then
        PopScreen ();
    end
end

OnKeyDown = PopOnEscape
