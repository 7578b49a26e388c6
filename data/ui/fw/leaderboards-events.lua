-- ui/fw/leaderboards-events.lua

LuaInclude ("ui/menu-common.lua");

function OnLoad()
    SetProperty ("/:covers_screen", true);
    SetProperty ("/:default_comp", "NextCategory");
    -- The test scores are the developer's alone: players never see the
    -- button that makes them (nor step to their table, see the screen).
    local developer = IsDeveloperModeActive ()
    SetProperty ("Submit50:visible", developer and 1 or 0);
    SetProperty ("Submit50:active", developer and 1 or 0);
end

OnUpdate = FadeWithTransition

function OnClick(name)
    if name == "Back" then
        PopScreen ();
    end
end

OnKeyDown = PopOnEscape
