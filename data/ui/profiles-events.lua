-- ui/profiles-events.lua

LuaInclude ("ui/menu-common.lua");

-- The player who was playing when the screen opened: Cancel goes back to
-- them.
local playing = 0

-- The profile index of each line: the one playing comes first, so that
-- it shows whatever the number of players, then the others in order.
local order = {}

-- Lists the players, the one playing first, marked and selected.
local function FillList()
    local current = GetProfile() or 0
    local count = GetNumberOfProfiles() or 0
    order = {current}
    for i = 0, count - 1 do
        if i ~= current then
            order[#order + 1] = i
        end
    end
    ClearListbox ("ProfileList");
    for line, i in ipairs(order) do
        SetProfile (i);
        local name = GetProfileValue ("!INFO", "name", "value")
        if name == nil or name == "" then
            name = Localize ("UNNAMED_PLAYER")
        end
        AddListboxLine ("ProfileList", name);
        if line == 1 then
            SetListboxLineTextRight ("ProfileList", Localize ("PLAYING_NOW"));
        end
    end
    SetProfile (current);
    SetProperty ("ProfileList:listbox.selected", 0);
    -- Back to the top from wherever the last visit left it: half pages
    -- up, more than the list can have been scrolled down (its lines and
    -- the bit more that a flick overshoots by); the list stops at the top.
    for i = 0, count / 5 + 8 do
        ScrollListboxUp ("ProfileList");
    end
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
        local chosen = order[(GetProperty ("ProfileList:listbox.selected") or -1) + 1]
        if chosen then
            SetProfile (chosen);
        end
        SaveAndClose ();
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
