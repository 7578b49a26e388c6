-- ui/game-level-failed-events.lua

LuaInclude ("ui/menu-common.lua");

function OnLoad()
    SetProperty ("/:default_comp", "PlayAgain");
end

OnUpdate = PopInPanel

function OnClick(name)
    if name == "PlayAgain" then
        -- The level starts afresh; the switch clears this screen with the
        -- level under it.
        CallOrTell ("RestartTimelineEvent");
    elseif name == "Menu" then
        SwitchScreen ("MainMenu");
    end
end

function OnKeyDown(key)
    if key == "RETURN" then
        CallOrTell ("RestartTimelineEvent");
    end
end
