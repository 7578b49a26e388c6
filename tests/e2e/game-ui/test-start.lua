-- ui/test-start.lua: a main menu whose one button starts the first level
-- the way the timeline does: the game screen comes, then the level.

UIEvents ("ui/events/test-start.lua");

CreateComp ("Image", "Background");
SetProperty ("image.bitmap", "ui/gfx/menu-background.jpg");
SetProperty ("scale_type", "FIT_TO_COVER_SCREEN");
SetProperty ("position", 0.5, 0.5);
SetProperty ("align", "CENTER");

CreateComp ("Button", "Play");
SetProperty ("button.bm_idle", "ui/gfx/button.png");
SetProperty ("button.bm_over", "ui/gfx/button-over.png");
SetProperty ("button.bm_pressed", "ui/gfx/button-pressed.png");
SetProperty ("button.font", "fonts/medium.sft");
SetProperty ("button.text", "Play");
SetProperty ("position", 0.5, 0.5);
SetProperty ("align", "CENTER");
