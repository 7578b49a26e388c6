-- ui/profiles-events.lua

LuaInclude ("ui/menu-common.lua");

-- The player who was playing when the screen opened: Cancel goes back to
-- them.
local playing = 0

-- Lists the players, marks the one playing and selects them.
local function FillList()
    local current = GetProfile() or 0
    ClearListbox ("ProfileList");
    local count = GetNumberOfProfiles() or 0
    for i = 0, count - 1 do
        SetProfile (i);
        local name = GetProfileValue ("!INFO", "name", "value")
        if name == nil or name == "" then
            name = Localize ("UNNAMED_PLAYER")
        end
        AddListboxLine ("ProfileList", name);
        if i == current then
            SetListboxLineTextRight ("ProfileList", Localize ("PLAYING_NOW"));
        end
    end
    SetProfile (current);
    SetProperty ("ProfileList:listbox.selected", current);
end

function OnLoad()
    SetProperty ("/:default_comp", "ProfileList");
end

function OnEnter()
    playing = GetProfile() or 0
    FillList ();
end

-- A new player was made on the screen above.
function OnScreenMessage(message, value)
    if message == "Refresh" then
        FillList ();
    end
end

OnUpdate = PopInPanel

function OnClick(name)
    if name == "Ok" then
        local chosen = GetProperty ("ProfileList:listbox.selected") or -1
        if chosen >= 0 and chosen < (GetNumberOfProfiles() or 0) then
            SetProfile (chosen);
        end
        SaveProfiles ();
        PopScreen ();
    elseif name == "Cancel" then
        SetProfile (playing);
        PopScreen ();
    elseif name == "New" then
        PushScreen ("NewProfile", 0);
    end
end

function OnKeyDown(key)
    if key == "ESCAPE" then
        SetProfile (playing);
        PopScreen ();
    end
end
