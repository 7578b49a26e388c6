-- ui/story-events.lua

function OnLoad ()
	SetProperty ("/:covers_screen", true);
	SetProperty ("/:default_comp", "Continue");
end

-- Sent by the timeline when a story event is delivered, before the
-- screen comes in (or while it stays, for the next picture).
function OnScreenMessage (message, value)
	if message == "Panel" then
		SetProperty ("Panel:image.bitmap", value);
	elseif message == "Text" then
		SetProperty ("Caption:textbox.text", value);
	end
end

function OnClick (name)
	if name == "Continue" then EndTimelineEvent (); end
end
