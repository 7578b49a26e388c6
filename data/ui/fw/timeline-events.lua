-- ui/fw/timeline-events.lua

function OnLoad ()
	SetProperty ("/:covers_screen", true);
	SetProperty ("/:default_comp", "Events");
end

function OnClick (name)
	if name == "Back" then PopScreen ("Timeline"); end
end

function OnKeyDown (key)
	if key == "ESCAPE" then PopScreen ("Timeline"); end
end
