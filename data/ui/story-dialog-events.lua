-- ui/story-dialog-events.lua

function OnLoad ()
	SetProperty ("/:default_comp", "DialogNext");
end

-- The bug speaks from a bubble of its own colour.
function OnScreenMessage (message, value)
	if message == "Speaker" then
		if value == "bug" then
			SetProperty ("Bubble:ninepatch.bitmap", "ui/gfx/talk-bubble-bug.png");
		else
			SetProperty ("Bubble:ninepatch.bitmap", "ui/gfx/talk-bubble.png");
		end
	elseif message == "Line" then
		SetProperty ("Line:textbox.text", value);
	end
end

function OnClick (name)
	if name == "DialogNext" then EndTimelineEvent (); end
end
