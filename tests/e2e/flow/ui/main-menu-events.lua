-- ui/main-menu-events.lua (the level flow's end-to-end runs): the bundled
-- main menu's script, and the run's timeline started by itself a moment
-- after the menu is up, as Play would. The kill run's timeline (its jump
-- "AGAIN") also gets a profile of some size, so that each save takes long
-- enough for kills to land inside it, and a value of its own that every
-- save must carry along.
LuaInclude ("ui/bundled/main-menu-events.lua");

local bundled_enter = OnEnter
local bundled_update = OnUpdate
local shown = 0

function OnEnter ()
	bundled_enter ();
	shown = 0;
	if EventExists ("AGAIN") and not ProfileValueExists ("KILLTEST", "marker", "value") then
		SetProfileValue ("KILLTEST", "marker", "value", "kept");
		for i = 1, 20000 do
			SetProfileValue ("KILLTEST_BULK", "entry_" .. i, "value", "a value the save writes out again and again");
		end
	end
end

function OnUpdate (dt)
	bundled_update (dt);
	if shown < 0 then return end
	shown = shown + (dt or 0);
	if shown > 0.1 then
		shown = -1;
		ResumeSavedTimelineEvent ();
	end
end
