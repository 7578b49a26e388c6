-- ui/help-events.lua

LuaInclude ("ui/menu-common.lua");

function OnLoad()
    SetProperty ("/:covers_screen", true);
    SetProperty ("/:default_comp", "Back");
end

OnUpdate = FadeWithTransition

function OnClick(name)
    if name == "Back" then
        PopScreen ();
    end
end

OnKeyDown = PopOnEscape
