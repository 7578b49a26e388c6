-- ui/test-game.lua: a plain level page, for runs that need one without the
-- game.

UIEvents ("ui/events/test-game.lua");

CreateComp ("Image", "Background");
SetProperty ("inherit", "Background");
SetProperty ("color", 0.5, 0.5, 0.6, 1);

CreateComp ("Textbox", "Title");
SetProperty ("inherit", "LightTitle");
SetProperty ("localize", 0);
SetProperty ("position", 0.5, 0.5);
SetProperty ("textbox.text", "Game");
