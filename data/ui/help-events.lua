-- ui/help-events.lua

LuaInclude ("ui/menu-common.lua");

function OnLoad()
    SetProperty ("/:covers_screen", true);
    SetProperty ("/:default_comp", "Back");
end

function OnUpdate(dt)
    FadeWithTransition ();
end

function OnClick(name)
    if name == "Back" then
        PopScreen ();
    end
end

function OnKeyDown(key)
    if key == "ESCAPE" then
        PopScreen ();
    end
end
