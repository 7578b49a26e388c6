-- ui/options-events.lua
--
-- The sliders set the volumes as they move; the check box keeps the
-- profile tag GAME/lower_details, which the game reads when a level
-- starts, and switches a running level's details at once.

LuaInclude ("ui/menu-common.lua");

function OnLoad()
    SetProperty ("/:default_comp", "Ok");
end

-- Shows what is set now; the screen may have been changed from elsewhere
-- (the sound toggle of the main menu) since it was last open.
function OnEnter()
    SetProperty ("SoundVolume:slider.value", GetSoundVolume() or 1);
    SetProperty ("MusicVolume:slider.value", GetMusicVolume() or 1);
    SetProperty ("LowerDetails:checkbox.value", ProfileTagExists ("GAME", "lower_details") and 1 or 0);
end

OnUpdate = PopInPanel

function OnClick(name)
    if name == "SoundVolume" then
        SetSoundVolume (GetProperty ("SoundVolume:slider.value") or 1);
    elseif name == "MusicVolume" then
        SetMusicVolume (GetProperty ("MusicVolume:slider.value") or 1);
    elseif name == "LowerDetails" then
        local lower = (GetProperty ("LowerDetails:checkbox.value") or 0) == 0
        SetProperty ("LowerDetails:checkbox.value", lower and 1 or 0);
        if lower then
            AddProfileTag ("GAME", "lower_details");
        else
            RemoveProfileTag ("GAME", "lower_details");
        end
        -- A level that is running shows the change at once; the next
        -- level reads the tag when it starts.
        CallIfPresent ("ChangeDetailLevel");
    elseif name == "Ok" then
        SaveAndClose ();
    end
end

function OnKeyDown(key)
    if key == "ESCAPE" then
        SaveAndClose ();
    end
end
