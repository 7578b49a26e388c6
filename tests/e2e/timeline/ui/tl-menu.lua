-- ui/tl-menu.lua: the main menu of the timeline's runs. Play resumes the
-- saved timeline event (the first one when none is saved).

UIEvents ("ui/tl-menu-events.lua");

CreateComp ("Image", "Background");
SetProperty ("image.bitmap", "ui/gfx/menu-background.jpg");
SetProperty ("scale_type", "FIT_TO_COVER_SCREEN");
SetProperty ("position", 0.5, 0.5);

CreateComp ("Textbox", "Title");
SetProperty ("textbox.text", "Worm");
SetProperty ("color.r", 0.16);
SetProperty ("color.g", 0.3);
SetProperty ("color.b", 0.08);
SetProperty ("scale", 1.6);
SetProperty ("position", 0.5, 0.18);

CreateComp ("Button", "Play");
SetProperty ("button.text", "Play");
SetProperty ("position", 0.5, 0.5);
