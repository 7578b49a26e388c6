-- ui/labs/world-Lab-parms-events.lua

-- The screen's own code prepares it: nothing to do once it is loaded.
function OnLoad ()
end

function OnClick(name)
    if name == "Back" then
        PopScreen ();
    end
end
