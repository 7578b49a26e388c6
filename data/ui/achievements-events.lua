-- ui/achievements-events.lua

LuaInclude ("ui/menu-common.lua");

local kFile = "achievements/achievements.xml"
local kSlots = 8

local function Value(index, name)
    return DM_GetValue(kFile, "ACHIEVEMENTS", index, name)
end

-- The name shown in the bar reads "Title: what it is"; here the title
-- stands alone and the description says the rest.
local function ShortName(name)
    return (string.gsub(name or "", ":.*$", ""))
end

local function Refresh()
    local count = DM_GetArraySize(kFile, "ACHIEVEMENTS") or 0
    local unlocked = 0
    for slot = 1, kSlots do
        local index = slot - 1
        local shown = index < count
        SetProperty ("Icon" .. slot .. ":visible", shown and 1 or 0);
        SetProperty ("Name" .. slot .. ":visible", shown and 1 or 0);
        SetProperty ("Desc" .. slot .. ":visible", shown and 1 or 0);
        if shown then
            local id = Value(index, "id")
            local have = id and CallIfPresent("AM_IsAchievementUnlocked", id)
            if have then
                unlocked = unlocked + 1
            end
            local icon = have and Value(index, "icon") or "achievements/gfx/achievement-locked.png"
            SetProperty ("Icon" .. slot .. ":image.bitmap", icon);
            SetProperty ("Icon" .. slot .. ":alpha", have and 1 or 0.6);
            SetProperty ("Name" .. slot .. ":textbox.text", ShortName(Value(index, "name") or id or ""));
            SetProperty ("Name" .. slot .. ":alpha", have and 1 or 0.6);
            SetProperty ("Desc" .. slot .. ":textbox.text", Value(index, "desc") or " ");
        end
    end
    SetProperty ("Count:textbox.text", unlocked .. " of " .. count .. " unlocked");
end

function OnLoad()
    SetProperty ("/:covers_screen", true);
    SetProperty ("/:default_comp", "Back");
end

function OnEnter()
    Refresh ();
end

OnUpdate = FadeWithTransition

function OnClick(name)
    if name == "Back" then
        PopScreen ();
    end
end

OnKeyDown = PopOnEscape
