-- ui/purchase-in-progress-events.lua

LuaInclude ("ui/menu-common.lua");

-- Seconds before the player may close the screen.
local kPatience = 5
local shown_for = 0

function OnLoad()
end

function OnEnter()
    shown_for = 0
    SetProperty ("Cancel:visible", 0);
end

function OnUpdate(dt)
    PopInPanel ();
    shown_for = shown_for + dt
    SetProperty ("Windmill:angle", shown_for * 4);
    if shown_for >= kPatience then
        SetProperty ("Cancel:visible", 1);
    end
end

function OnClick(name)
    if name == "Cancel" then
        PopScreen ();
    end
end

-- ESCAPE closes it at any time, as it closes every other screen.
OnKeyDown = PopOnEscape
