-- ui/game-level-failed.lua
--
-- The lost level, over the level (which runs on under it): the worm has
-- lost its last life. Play again, or back to the main menu.

UIEvents ("ui/game-level-failed-events.lua");

CreateComp ("NinePatch", "Dim");
SetProperty ("inherit", "Dim");

CreateComp ("NinePatch", "Panel");
SetProperty ("inherit", "GlassPanel");
SetProperty ("ninepatch.client_size", 380, 300);

-- A second sheet of the same glass: the level shows through one.
CreateComp ("NinePatch", "Sheet");
SetProperty ("inherit", "GlassPanel");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0);
SetProperty ("ninepatch.client_size", 380, 300);

CreateComp ("Textbox", "Title");
SetProperty ("inherit", "LightTitle");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.38);
SetProperty ("textbox.text", "LEVEL_FAILED");

CreateComp ("Ruler", "TitleRule");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.3);
SetProperty ("ruler.client_width", 140);
SetProperty ("ruler.client_height", 16);

-- The worm, hurt.
CreateComp ("Image", "Worm");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.1);
SetProperty ("image.bitmap", "actors/gfx/worm/worm-head-hurt.png");
SetProperty ("align", "CENTER");
SetProperty ("scale", 0.9);
SetProperty ("interactive", 0);

CreateComp ("Textbox", "Message");
SetProperty ("inherit", "LightText");
SetProperty ("align", "CENTER");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0.1);
SetProperty ("textbox.text", "OUT_OF_LIVES");

CreateComp ("Button", "Menu");
SetProperty ("inherit", "IconButton");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.3, 0.34);
SetProperty ("button.bm_icon", "ui/gfx/icon-menu.png");

CreateComp ("Button", "PlayAgain");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.12, 0.34);
SetProperty ("button.text", "PLAY_AGAIN");
