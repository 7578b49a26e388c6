-- ui/level-select-events.lua
--
-- Paging: the chevrons step the grid one page; the title follows the
-- selected page's episode and the chevrons at either end are switched off. A level
-- tile starts that level's timeline event ("Episode2_Level3" is "E02_L03").

LuaInclude ("ui/menu-common.lua");

local shown = -1

local function ShowPage (page)
	if page == shown then return end
	shown = page
	-- The episode of each page, as the layout found them in the timeline
	-- (this script is read before the layout has run).
	local pages = level_pages or {}
	local episode = pages[page + 1]
	SetProperty ("EpisodeTitle:textbox.text", episode and Localize ("EPISODE_" .. episode) or " ");
	SetProperty ("Prev:active", page > 0);
	SetProperty ("Next:active", page < #pages - 1);
end

function OnLoad ()
	SetProperty ("/:covers_screen", true);
	SetProperty ("/:default_comp", "Episode1_Level1");
end

function OnEnter ()
	shown = -1
	ShowPage (GetProperty ("Episodes:touchgrid.selected_step_axis_x") or 0);
end

function OnUpdate (dt)
	FadeWithTransition ();
	ShowPage (GetProperty ("Episodes:touchgrid.selected_step_axis_x") or 0);
end

function OnClick (name)
	local episode, level = string.match (name, "^Episode(%d+)_Level(%d+)$")
	if episode then
		CallOrTell ("BeginTimelineEvent", string.format ("E%02d_L%02d", tonumber (episode), tonumber (level)));
	elseif name == "Prev" then
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
	PopOnEscape (key);
end
