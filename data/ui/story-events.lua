-- ui/story-events.lua

function OnLoad ()
	SetProperty ("/:covers_screen", true);
	SetProperty ("/:default_comp", "Continue");
end

-- The widest caption line, and the narrowest worth trying.
local kWidest = 860
local kNarrowest = 240

-- Sets the caption and evens out its lines: the box narrows as far as the
-- text keeps its number of lines, so that no line is left with a lone
-- word; the glass strip behind it takes the text's size.
function FitCaption (text)
	SetProperty ("Caption:textbox.textbox_width", kWidest);
	SetProperty ("Caption:textbox.text", text);
	local height = GetProperty ("Caption:height") or 0
	local lo, hi = kNarrowest, kWidest
	while hi - lo > 4 do
		local mid = math.floor ((lo + hi) / 2)
		SetProperty ("Caption:textbox.textbox_width", mid);
		if (GetProperty ("Caption:height") or 0) > height then lo = mid else hi = mid end
	end
	SetProperty ("Caption:textbox.textbox_width", hi);
	SetProperty ("CaptionBack:ninepatch.client_size", hi + 16, height - 16);
end

-- Sent by the timeline when a story event is delivered, before the
-- screen comes in (or while it stays, for the next picture).
function OnScreenMessage (message, value)
	if message == "Panel" then
		SetProperty ("Panel:image.bitmap", value);
	elseif message == "Text" then
		FitCaption (value);
	end
end

function OnClick (name)
	if name == "Continue" then EndTimelineEvent (); end
end
