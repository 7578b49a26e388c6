-- ui/main-menu-events.lua (the player services' end-to-end test)

function OnLoad()
    SetProperty ("/:covers_screen", true);
end

-- A named player, as the game's first start makes one; after a restart
-- the same player is the active one.
local function EnsurePlayer()
    if GetProfileValue("!INFO", "name", "value") ~= "Tester" then
        AddProfile("Tester");
        SaveProfiles();
    end
end

function OnEnter()
    EnsurePlayer();
    Print("services-test: BIG_BALL bought=" .. tostring(IAP_IsItemPurchased("BIG_BALL")));
    Print("services-test: FIRST_LEVEL unlocked=" .. tostring(AM_IsAchievementUnlocked("FIRST_LEVEL")));
end

function OnClick(name)
    if name == "Shop" then
        PushScreen ("Unlocks", 0);
    elseif name == "Unlock" then
        AM_UnlockAchievement ("FIRST_LEVEL");
        SaveProfiles ();
    elseif name == "Trophies" then
        AM_ShowAchievements ();
    end
end
