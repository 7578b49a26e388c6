-- ui/game-level-completed.lua
--
-- The won level's result, over the level (which runs on under it): the
-- stars of this run, the time and the best time, what the next star
-- takes, and the way on. The game fills "Time" and "TimeBest" and sends
-- the messages NewRecord, FlawlessPlay, BestStars, NextStar and
-- StarsGained before it pushes the screen.

UIEvents ("ui/game-level-completed-events.lua");

CreateComp ("NinePatch", "Dim");
SetProperty ("inherit", "Dim");

CreateComp ("NinePatch", "Panel");
SetProperty ("inherit", "GlassPanel");
SetProperty ("ninepatch.client_size", 420, 400);

-- A second sheet of the same glass: the level shows through one.
CreateComp ("NinePatch", "Sheet");
SetProperty ("inherit", "GlassPanel");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0);
SetProperty ("ninepatch.client_size", 420, 400);

CreateComp ("Textbox", "Title");
SetProperty ("inherit", "LightTitle");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.41);
SetProperty ("textbox.text", "LEVEL_COMPLETE");

CreateComp ("Ruler", "TitleRule");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.355);
SetProperty ("ruler.client_width", 150);
SetProperty ("ruler.client_height", 16);

-- The three stars: empty slots, filled one by one as the screen comes in.
CreateComp ("Image", "Star1");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.25, -0.2);
SetProperty ("image.bitmap", "ui/gfx/star-black.png");
SetProperty ("align", "CENTER");
SetProperty ("scale", 1.5);
SetProperty ("interactive", 0);

CreateComp ("Image", "Star2");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.24);
SetProperty ("image.bitmap", "ui/gfx/star-black.png");
SetProperty ("align", "CENTER");
SetProperty ("scale", 1.9);
SetProperty ("interactive", 0);

CreateComp ("Image", "Star3");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.25, -0.2);
SetProperty ("image.bitmap", "ui/gfx/star-black.png");
SetProperty ("align", "CENTER");
SetProperty ("scale", 1.5);
SetProperty ("interactive", 0);

-- Set by the game, already translated.
CreateComp ("Textbox", "Time");
SetProperty ("inherit", "LightTitle");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.06);
SetProperty ("textbox.text", " ");

CreateComp ("Textbox", "TimeBest");
SetProperty ("inherit", "LightText");
SetProperty ("align", "CENTER");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0.04);
SetProperty ("textbox.text", " ");

CreateComp ("Textbox", "NextStar");
SetProperty ("inherit", "LightText");
SetProperty ("align", "CENTER");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0.12);
SetProperty ("textbox.text", " ");

-- Shown for a level won without a life lost.
CreateComp ("Textbox", "Flawless");
SetProperty ("inherit", "LightText");
SetProperty ("align", "CENTER");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0.2);
SetProperty ("textbox.text", "NOT_A_SCRATCH");
SetProperty ("color", 1, 0.86, 0.35, 1);
SetProperty ("visible", 0);

CreateComp ("Button", "Menu");
SetProperty ("inherit", "IconButton");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.3, 0.36);
SetProperty ("button.bm_icon", "ui/gfx/icon-menu.png");

CreateComp ("Button", "Replay");
SetProperty ("inherit", "IconButton");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.1, 0.36);
SetProperty ("button.bm_icon", "ui/gfx/icon-restart.png");

CreateComp ("Button", "Next");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.2, 0.36);
SetProperty ("button.text", "NEXT");
