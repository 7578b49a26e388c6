-- ui/main-menu-events.lua (the level flow's end-to-end runs): the bundled
-- main menu's script, and the run's timeline started by itself half a
-- second after the menu is up, as Play would.
LuaInclude ("ui/bundled/main-menu-events.lua");

local bundled_enter = OnEnter
local bundled_update = OnUpdate
local shown = 0

function OnEnter ()
	bundled_enter ();
	shown = 0;
end

function OnUpdate (dt)
	bundled_update (dt);
	if shown < 0 then return end
	shown = shown + (dt or 0);
	if shown > 0.5 then
		shown = -1;
		ResumeSavedTimelineEvent ();
	end
end
