-- ui/extras.lua

UIEvents ("ui/extras-events.lua");

CreateComp ("Image", "Background");
SetProperty ("inherit", "Background");

CreateComp ("NinePatch", "Panel");
SetProperty ("inherit", "GlassPanel");
SetProperty ("ninepatch.client_size", 300, 400);

CreateComp ("Textbox", "Title");
SetProperty ("inherit", "LightTitle");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.4);
SetProperty ("textbox.text", "EXTRAS");

CreateComp ("Ruler", "TitleRule");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.347);
SetProperty ("ruler.client_width", 120);
SetProperty ("ruler.client_height", 16);

CreateComp ("Button", "Options");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.203);
SetProperty ("button.text", "OPTIONS");

CreateComp ("Button", "Profiles");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.018);
SetProperty ("button.text", "PLAYERS");

CreateComp ("Button", "Credits");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0.167);
SetProperty ("button.text", "CREDITS");

CreateComp ("Button", "Help");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0.351);
SetProperty ("button.text", "HOW_TO_PLAY");

CreateComp ("Button", "Back");
SetProperty ("inherit", "IconButton");
SetProperty ("position", 0.07, 0.89);
SetProperty ("button.bm_icon", "ui/gfx/icon-back.png");
