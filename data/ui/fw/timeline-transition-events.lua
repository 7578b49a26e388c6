-- ui/fw/timeline-transition-events.lua

function OnLoad ()
end

function OnClick (name)
end
