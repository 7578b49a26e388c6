-- ui/level-select.lua
--
-- The level selection: a touch grid pages through the episodes, swiped
-- sideways or stepped with the chevrons. The timeline decides what is
-- there: a page for each episode that has a level, and on it a tile for
-- each level event "E<ee>_L<ll>" (up to ten, two rows of five, in the
-- level's place). Tile "Episode<e>_Level<l>" starts that level. A ruler
-- under the episode's name separates it from the tiles. Every page is a
-- cell of the grid: the tiles sit on their page by their position
-- relative to one cell (x = page + fraction).

UIEvents ("ui/level-select-events.lua");

CreateComp ("Image", "Background");
SetProperty ("inherit", "Background");

-- Set by the script to the name of the episode shown.
CreateComp ("Textbox", "EpisodeTitle");
SetProperty ("inherit", "Title");
SetProperty ("localize", 0);
SetProperty ("color.r", 0.16);
SetProperty ("color.g", 0.3);
SetProperty ("color.b", 0.08);
SetProperty ("position", 0.5, 0.12);
SetProperty ("textbox.text", " ");

CreateComp ("Ruler", "TitleRule");
SetProperty ("ruler.client_width", 240);
SetProperty ("ruler.client_height", 16);
SetProperty ("position", 0.5, 0.19);

-- The episode of each page, in order, for the events script.
level_pages = {}
local function LevelEvent (episode, level)
	return EventExists (string.format ("E%02d_L%02d", episode, level))
end
for episode = 1, 99 do
	for level = 1, 10 do
		if LevelEvent (episode, level) then
			table.insert (level_pages, episode)
			break
		end
	end
end

-- The episodes side by side, a screen wide each, so that the next page
-- waits wholly off the screen; only the horizontal axis pages.
CreateComp ("TouchGrid", "Episodes");
SetProperty ("touchgrid.num_steps_axis_x", math.max (#level_pages, 1));
SetProperty ("touchgrid.step_size_axis_x", 1024);
SetProperty ("touchgrid.step_size_axis_y", 360);
SetProperty ("touchgrid.axis_y_enabled", 0);
SetProperty ("position", 0, 0.25);

for page, episode in ipairs (level_pages) do
	for level = 1, 10 do
		if LevelEvent (episode, level) then
			local column = (level - 1) % 5
			local row = math.floor ((level - 1) / 5)
			CreateComp ("Button", "Episode" .. episode .. "_Level" .. level);
			SetProperty ("parent", "Episodes");
			SetProperty ("localize", 0);
			SetProperty ("button.bm_idle", "ui/gfx/level-tile.png");
			SetProperty ("button.bm_over", "ui/gfx/level-tile-over.png");
			SetProperty ("button.bm_pressed", "ui/gfx/level-tile-pressed.png");
			SetProperty ("button.bm_disabled", "ui/gfx/level-tile-locked.png");
			SetProperty ("button.font", "fonts/medium.sft");
			SetProperty ("button.text", tostring (level));
			SetProperty ("button.text_color_idle", 0.35, 0.2, 0.05, 1);
			SetProperty ("button.text_color_over", 0.35, 0.2, 0.05, 1);
			SetProperty ("button.text_color_pressed", 0.35, 0.2, 0.05, 1);
			SetProperty ("button.scale_over", 1.06);
			SetProperty ("button.scale_pressed", 0.96);
			SetProperty ("align", "CENTER");
			SetProperty ("position", (page - 1) + 0.18 + 0.16 * column, 0.25 + 0.5 * row);
		end
	end
end

CreateComp ("Button", "Prev");
SetProperty ("inherit", "IconButton");
SetProperty ("button.bm_icon", "ui/gfx/icon-page-prev.png");
SetProperty ("position", 0.05, 0.55);

CreateComp ("Button", "Next");
SetProperty ("inherit", "IconButton");
SetProperty ("button.bm_icon", "ui/gfx/icon-page-next.png");
SetProperty ("position", 0.95, 0.55);

CreateComp ("Button", "Back");
SetProperty ("inherit", "IconButton");
SetProperty ("button.bm_icon", "ui/gfx/icon-back.png");
SetProperty ("position", 0.07, 0.89);
