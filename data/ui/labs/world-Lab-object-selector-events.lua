-- ui/labs/world-Lab-object-selector-events.lua

function OnClick(name)
    if name == "Back" then
        PopScreen ();
    end
end
