-- ui/main-menu.lua

UIEvents ("ui/main-menu-events.lua");

CreateComp ("Image", "Background");
SetProperty ("inherit", "Background");

CreateComp ("Image", "Logo");
SetProperty ("position", 0.5, 0.27);
SetProperty ("image.bitmap", "ui/gfx/logo-emblem.png");

CreateComp ("Button", "Play");
SetProperty ("position", 0.5, 0.6);
SetProperty ("button.text", "PLAY");

CreateComp ("Button", "Extras");
SetProperty ("position", 0.5, 0.74);
SetProperty ("button.text", "EXTRAS");

CreateComp ("Button", "Quit");
SetProperty ("position", 0.5, 0.88);
SetProperty ("button.text", "QUIT");

CreateComp ("Button", "Sound");
SetProperty ("inherit", "IconButton");
SetProperty ("position", 0.93, 0.89);
SetProperty ("button.bm_icon", "ui/gfx/icon-sound-on.png");
