-- ui/fw/screen-browser-events.lua

-- The browser's own code fills in its list and answers its Edit button:
-- nothing to do once it is loaded, nor on a click.
function OnLoad ()
end

function OnClick (name)
end
