-- ui/labs/world-lab-events.lua

function OnClick(name)
    if name == "Back" then
        PopScreen ();
    end
end
