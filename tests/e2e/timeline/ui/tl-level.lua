-- ui/tl-level.lua: a level of the stand-in game; "Win" ends the event.

UIEvents ("ui/tl-level-events.lua");

CreateComp ("Image", "Background");
SetProperty ("image.bitmap", "ui/gfx/menu-background.jpg");
SetProperty ("scale_type", "FIT_TO_COVER_SCREEN");
SetProperty ("color", 0.6, 0.75, 1, 1);
SetProperty ("position", 0.5, 0.5);

CreateComp ("Textbox", "Title");
SetProperty ("textbox.text", "Level");
SetProperty ("position", 0.5, 0.3);

CreateComp ("Button", "Win");
SetProperty ("button.text", "Win");
SetProperty ("position", 0.5, 0.6);
