-- ui/credits-events.lua

LuaInclude ("ui/menu-common.lua");

-- Where the emblem's centre is, in screen heights: it starts below the
-- screen and climbs until the text under it has left at the top, then
-- comes round again.
local start = 1.25
local y = start
local speed = 0.05

function OnLoad()
    SetProperty ("/:covers_screen", true);
    SetProperty ("/:default_comp", "Back");
end

function OnEnter()
    y = 0.45
    SetProperty ("Emblem:position", 0.5, y);
end

function OnUpdate(dt)
    FadeWithTransition ();
    y = y - speed * (dt or 0)
    local screen = math.max(1, GetScreenHeight() or 600)
    local bottom = y + (0.55 * (GetProperty ("Emblem:height") or 0) + (GetProperty ("Roll:height") or 0)) / screen
    if bottom < 0 then
        y = start
    end
    SetProperty ("Emblem:position", 0.5, y);
end

function OnClick(name)
    if name == "Back" or name == "fader" then
        PopScreen ();
    end
end

OnKeyDown = PopOnEscape
