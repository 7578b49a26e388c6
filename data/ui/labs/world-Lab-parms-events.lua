-- ui/labs/world-Lab-parms-events.lua

function OnClick(name)
    if name == "Back" then
        PopScreen ();
    end
end
