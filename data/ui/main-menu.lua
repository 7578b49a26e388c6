-- ui/main-menu.lua

UIEvents ("ui/main-menu-events.lua");

CreateComp ("Image", "Background");
SetProperty ("inherit", "Background");

-- Fireflies rising from the grass, behind everything else; a few seconds
-- are run ahead so that the menu opens with some already in the air.
CreateComp ("Emitter", "Fireflies");
SetProperty ("position", 0.5, 0.95);
SetProperty ("emitter.fx", "fxs/menu-fireflies.lua");
SetProperty ("emitter.time_interval", "0.3");
SetProperty ("emitter.initial_simulation_time", "3");

CreateComp ("Image", "Logo");
SetProperty ("position", 0.5, 0.235);
SetProperty ("scale", 0.85);
SetProperty ("image.bitmap", "ui/gfx/logo-emblem.png");

-- Play goes on with the story; Levels picks any level to play again.
CreateComp ("Button", "Play");
SetProperty ("position", 0.5, 0.525);
SetProperty ("button.text", "PLAY");

CreateComp ("Button", "Levels");
SetProperty ("position", 0.5, 0.65);
SetProperty ("button.text", "LEVELS");

CreateComp ("Button", "Extras");
SetProperty ("position", 0.5, 0.775);
SetProperty ("button.text", "EXTRAS");

CreateComp ("Button", "Quit");
SetProperty ("position", 0.5, 0.9);
SetProperty ("button.text", "QUIT");

CreateComp ("Button", "Sound");
SetProperty ("inherit", "IconButton");
SetProperty ("position", 0.93, 0.89);
SetProperty ("button.bm_icon", "ui/gfx/icon-sound-on.png");
