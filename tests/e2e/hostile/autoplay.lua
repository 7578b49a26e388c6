-- ui/main-menu-events.lua (the hostile data runs): the bundled main menu's
-- script, and the run's timeline events started by themselves each time
-- the menu is up: the saved (or first) event, then those the run names in
-- `hostile_events`, one per visit; then the menu stays.
LuaInclude ("ui/bundled/main-menu-events.lua");

local bundled_enter = OnEnter
local bundled_update = OnUpdate
local shown = 0
local visits = 0

function OnEnter ()
	bundled_enter ();
	shown = 0;
	visits = visits + 1;
end

function OnUpdate (dt)
	bundled_update (dt);
	if shown < 0 then return end
	shown = shown + (dt or 0);
	if shown > 0.1 then
		shown = -1;
		if visits == 1 then
			ResumeSavedTimelineEvent ();
		elseif hostile_events and hostile_events[visits - 1] then
			BeginTimelineEvent (hostile_events[visits - 1]);
		end
	end
end
