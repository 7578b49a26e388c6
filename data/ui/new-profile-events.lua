-- ui/new-profile-events.lua

LuaInclude ("ui/menu-common.lua");

function OnLoad()
    SetProperty ("/:default_comp", "Name");
end

-- An empty field with the keyboard on it.
function OnEnter()
    SetProperty ("Name:editbox.text", "");
    SetProperty ("Problem:visible", 0);
    SetUIFocus ("Name");
end

OnUpdate = PopInPanel

-- Makes the player and tells the list below; a name that is empty or
-- taken is refused with a line. A player that could not be saved is not
-- made: the one playing plays on, and a message over this screen says so.
local function Create()
    local name = GetProperty ("Name:editbox.text") or ""
    if not IsProfileNameValid (name) then
        SetProperty ("Problem:visible", 1);
        return
    end
    local playing = GetProfile ()
    local made = AddProfile (name)
    if not SavedOrTell (SaveProfiles (), "PLAYER_NOT_SAVED") then
        DeleteProfile (made);
        SetProfile (playing);
        return
    end
    SendScreenMessage ("Profiles", "Refresh", "");
    PopScreen ();
end

-- Enter in the field comes as a click on it, but so does a touch that
-- puts the keyboard on it: only the first makes the player.
local enter_pressed = false

function OnClick(name)
    if name == "Ok" or (name == "Name" and enter_pressed) then
        enter_pressed = false
        Create ();
    elseif name == "Cancel" then
        PopScreen ();
    end
end

function OnKeyDown(key)
    enter_pressed = key == "RETURN"
    if key == "ESCAPE" then
        PopScreen ();
    end
end
