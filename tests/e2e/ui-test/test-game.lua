-- ui/test-game.lua: a plain level page, for runs that need one without the
-- game (the screens' run pushes the game's own screen).

UIEvents ("ui/events/test-game.lua");

CreateComp ("Image", "Background");
SetProperty ("image.bitmap", "ui/gfx/menu-background.jpg");
SetProperty ("scale_type", "FIT_TO_COVER_SCREEN");
SetProperty ("position", 0.5, 0.5);
SetProperty ("color", 0.5, 0.5, 0.6, 1);

CreateComp ("Textbox", "Title");
SetProperty ("textbox.text", "Game");
SetProperty ("position", 0.5, 0.5);
