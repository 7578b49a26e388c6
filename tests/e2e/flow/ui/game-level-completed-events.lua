-- ui/game-level-completed-events.lua (the level flow's end-to-end runs):
-- the bundled result screen's script, whose Next is pressed by itself a
-- moment after the screen has come in.
LuaInclude ("ui/bundled/game-level-completed-events.lua");

local bundled_enter = OnEnter
local bundled_update = OnUpdate
local waited = 0

function OnEnter ()
	bundled_enter ();
	waited = 0;
end

function OnUpdate (dt)
	bundled_update (dt);
	if waited < 0 then return end
	waited = waited + (dt or 0);
	if waited > 0.3 then
		waited = -1;
		OnClick ("Next");
	end
end
