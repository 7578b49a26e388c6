-- ui/story-dialog-events.lua

function OnLoad ()
	SetProperty ("/:default_comp", "DialogNext");
end

-- The bug speaks from a bubble of its own colour, whose tail points up at
-- it flying over the picture; the worm's points down.
function OnScreenMessage (message, value)
	if message == "Speaker" then
		if value == "bug" then
			SetProperty ("Bubble:ninepatch.bitmap", "ui/gfx/talk-bubble-bug.png");
			SetProperty ("Bubble:ninepatch.bitmap_client_rect", 28, 40, 60, 72);
		else
			SetProperty ("Bubble:ninepatch.bitmap", "ui/gfx/talk-bubble.png");
			SetProperty ("Bubble:ninepatch.bitmap_client_rect", 28, 24, 68, 56);
		end
	elseif message == "Line" then
		SetProperty ("Line:textbox.text", value);
	end
end

function OnClick (name)
	if name == "DialogNext" then EndTimelineEvent (); end
end
