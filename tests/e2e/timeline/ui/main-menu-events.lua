-- ui/main-menu-events.lua (the timeline's end-to-end runs): the bundled
-- main menu's script, whose Play resumes the saved timeline event (the
-- first one when none is saved), and what the runs add to it:
-- - the level screen (the screens' test page ui/test-game.lua, with the
--   events of this folder) is made once loading is over, so that the
--   timeline's loader thread is the one to preload it;
-- - worm_standin's stand-in game is the active game;
-- - the kill test's timeline (its first event is "K1") plays by itself:
--   the menu resumes at once, and keeps values of its own in the profile
--   that every save must carry along.
LuaInclude ("ui/bundled/main-menu-events.lua");

local bundled_enter = OnEnter
local bundled_update = OnUpdate
local auto = false
local shown = 0

function OnEnter ()
	bundled_enter ();
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
	bundled_update (dt);
	if not auto or shown < 0 then return end
	shown = shown + (dt or 0);
	if shown > 0.5 then
		shown = -1;
		ResumeSavedTimelineEvent ();
	end
end
