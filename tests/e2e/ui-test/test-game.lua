-- ui/test-game.lua: stands in for the game's screen until the game lands.

UIEvents ("ui/events/test-game.lua");

CreateComp ("Image", "Background");
SetProperty ("image.bitmap", "ui/gfx/menu-background.jpg");
SetProperty ("scale_type", "FIT_TO_COVER_SCREEN");
SetProperty ("position", 0.5, 0.5);
SetProperty ("color", 0.5, 0.5, 0.6, 1);

CreateComp ("Textbox", "Title");
SetProperty ("textbox.text", "Game");
SetProperty ("position", 0.5, 0.5);
