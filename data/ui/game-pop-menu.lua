-- ui/game-pop-menu.lua
--
-- The pause menu, pushed over a running level (the level's pause button,
-- or the window losing focus). The level stays loaded and still under it.

UIEvents ("ui/game-pop-menu-events.lua");

CreateComp ("NinePatch", "Dim");
SetProperty ("inherit", "Dim");

CreateComp ("NinePatch", "Panel");
SetProperty ("inherit", "GlassPanel");
SetProperty ("ninepatch.client_size", 300, 400);

-- A second sheet of the same glass: the busy level shows through one.
CreateComp ("NinePatch", "Sheet");
SetProperty ("inherit", "GlassPanel");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0);
SetProperty ("ninepatch.client_size", 300, 400);

CreateComp ("Textbox", "Title");
SetProperty ("inherit", "LightTitle");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.4);
SetProperty ("textbox.text", "PAUSED");

CreateComp ("Ruler", "TitleRule");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.347);
SetProperty ("ruler.client_width", 120);
SetProperty ("ruler.client_height", 16);

CreateComp ("Button", "Resume");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.203);
SetProperty ("button.text", "RESUME");

CreateComp ("Button", "Options");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.018);
SetProperty ("button.text", "OPTIONS");

CreateComp ("Button", "Restart");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0.167);
SetProperty ("button.text", "RESTART");

CreateComp ("Button", "Menu");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0.351);
SetProperty ("button.text", "MAIN_MENU");
