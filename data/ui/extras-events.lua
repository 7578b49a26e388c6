-- ui/extras-events.lua

LuaInclude ("ui/menu-common.lua");

function OnLoad()
    SetProperty ("/:covers_screen", true);
    SetProperty ("/:default_comp", "Options");
end

OnUpdate = FadeWithTransition

function OnClick(name)
    if name == "Options" then
        PushScreen ("Options", 0);
    elseif name == "Profiles" then
        PushScreen ("Profiles", 0);
    elseif name == "Credits" then
        PushScreen ("Credits", 0);
    elseif name == "Help" then
        PushScreen ("Help", 0);
    elseif name == "Achievements" then
        CallOrTell ("AM_ShowAchievements");
    elseif name == "Unlocks" then
        PushScreen ("Unlocks", 0);
    elseif name == "Leaderboards" then
        -- The table of the episode played last.
        local episode = GetProfileValue ("GAME", "last_played", "episode") or "1"
        PushScreen ("Leaderboards", 0);
        SendScreenMessage ("Leaderboards", "SetCategory", "EPISODE_" .. episode);
    elseif name == "Back" then
        PopScreen ();
    end
end

OnKeyDown = PopOnEscape
