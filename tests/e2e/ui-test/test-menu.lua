-- ui/test-menu.lua

UIEvents ("ui/events/test-menu.lua");

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
SetProperty ("position", 0.5, 0.45);

CreateComp ("Button", "Options");
SetProperty ("button.text", "Options");
SetProperty ("position", 0.5, 0.62);
