-- ui/game-pop-menu-events.lua

LuaInclude ("ui/menu-common.lua");

function OnLoad()
    SetProperty ("/:default_comp", "Resume");
end

OnUpdate = PopInPanel

function OnClick(name)
    if name == "Resume" then
        PopScreen ();
    elseif name == "Options" then
        PushScreen ("Options", 0);
    elseif name == "Restart" then
        -- The level starts afresh; the switch clears this menu with the
        -- level under it.
        CallOrTell ("RestartTimelineEvent");
    elseif name == "Menu" then
        SwitchScreen ("MainMenu");
    end
end

OnKeyDown = PopOnEscape
