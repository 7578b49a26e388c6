-- ui/events/test-menu.lua (the timeline's runs): Play resumes the saved
-- timeline event, the first one when none is saved.
--
-- The kill test's timeline (its first event is "K1") plays by itself:
-- the menu resumes at once, and keeps values of its own in the profile
-- that every save must carry along.
local auto = false
local shown = 0

function OnLoad ()
	SetProperty ("/:covers_screen", true);
end

function OnEnter ()
	CreateScreen ("Level", "ui/test-game.lua");
	SetActiveGame ("StandIn");
	auto = EventExists ("K1");
	shown = 0;
	if auto and not ProfileValueExists ("KILLTEST", "marker", "value") then
		SetProfileValue ("KILLTEST", "marker", "value", "kept");
		-- A profile of some size: each save takes long enough for kills
		-- to land inside it.
		for i = 1, 3000 do
			SetProfileValue ("KILLTEST_BULK", "entry_" .. i, "value", "a value the save writes out again and again");
		end
	end
end

function OnUpdate (dt)
	if not auto or shown < 0 then return end
	shown = shown + (dt or 0);
	if shown > 0.5 then
		shown = -1;
		ResumeSavedTimelineEvent ();
	end
end

function OnClick (name)
	if name == "Play" then ResumeSavedTimelineEvent (); end
end
