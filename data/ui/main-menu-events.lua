-- ui/main-menu-events.lua

LuaInclude ("ui/menu-common.lua");

local time = 0
-- Whether the player was told that nothing can be saved (once a run).
local told_unwritable = false

function OnLoad()
    SetProperty ("/:covers_screen", true);
    SetProperty ("/:default_comp", "Play");
end

function OnEnter()
    SwitchMusic ("music/menu-music", 1.0, 1.0);
    ShowAudioToggle ("Sound");
end

function OnUpdate(dt)
    FadeWithTransition ();
    -- Once the menu is up: a player folder that takes no file saves
    -- nothing, and the player would see no other sign of it.
    if not told_unwritable and IsTopScreen () then
        told_unwritable = true
        if KD_CallExtension ("PlayerDataWritable") == "0" then
            SendScreenMessage ("PopupOk", "text", "PLAYER_DATA_UNWRITABLE");
            PushScreen ("PopupOk", 0);
        end
    end
    -- The emblem sways a little.
    time = time + (dt or 0)
    SetProperty ("Logo:position", 0.5, 0.235 + 0.008 * math.sin(time * 1.7));
    SetProperty ("Logo:angle", 0.02 * math.sin(time * 1.1));
end

-- The event a restart goes on from, as the timeline saved it.
local function SavedEvent()
    local file = GetProfileValue ("!SAVE_STATE", "timeline", "value")
    return file and GetProfileValue ("!TIMELINES", file, "event")
end

function OnClick(name)
    if name == "Play" then
        -- At the menu the timeline's end led back to (in this run, or
        -- saved by an earlier one), Play goes on past it, to the first
        -- event: resuming it would show this menu again. Otherwise a game in
        -- progress goes on where it was left; without one the timeline
        -- starts the story from its first event.
        local current = CallIfPresent ("GetCurrentTimelineEvent")
        if current == "MENU" then
            CallOrTell ("EndTimelineEvent");
        elseif not current and SavedEvent () == "MENU" then
            CallOrTell ("BeginTimelineEvent", "!FIRST");
        else
            CallOrTell ("ResumeSavedTimelineEvent");
        end
    elseif name == "Levels" then
        PushScreen ("LevelSelect", 0);
    elseif name == "Extras" then
        PushScreen ("Extras", 0);
    elseif name == "Sound" then
        ToggleAudio ();
        ShowAudioToggle ("Sound");
    elseif name == "Quit" then
        SaveProfiles ();
        KodoShutdown ();
    end
end

