-- ui/level-select-events.lua
--
-- Paging: the arrows step the grid one episode; the title follows the
-- selected page and the arrows at either end are switched off. The level
-- tiles' clicks ("Episode<e>_Level<l>") are the game's.

local episodes = 3
local shown = -1

local function ShowPage (page)
	if page == shown then return end
	shown = page
	SetProperty ("EpisodeTitle:textbox.text", "Episode " .. (page + 1));
	SetProperty ("Prev:active", page > 0);
	SetProperty ("Next:active", page < episodes - 1);
end

function OnEnter ()
	shown = -1
	ShowPage (GetProperty ("Episodes:touchgrid.selected_step_axis_x") or 0);
end

function OnUpdate (dt)
	ShowPage (GetProperty ("Episodes:touchgrid.selected_step_axis_x") or 0);
end

function OnClick (name)
	if name == "Prev" then
		SetProperty ("Episodes:touchgrid.offset_selected_step_axis_x", -1);
	elseif name == "Next" then
		SetProperty ("Episodes:touchgrid.offset_selected_step_axis_x", 1);
	elseif name == "Back" then
		PopScreen ();
	end
end

function OnKeyDown (key)
	if key == "LEFT" then OnClick ("Prev") end
	if key == "RIGHT" then OnClick ("Next") end
	if key == "ESCAPE" then PopScreen () end
end
