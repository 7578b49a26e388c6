-- ui/test-pause.lua

UIEvents ("ui/events/test-pause.lua");

CreateComp ("NinePatch", "Panel");
SetProperty ("ninepatch.bitmap", "ui/gfx/panel-glass.png");
SetProperty ("ninepatch.bitmap_client_rect", 24, 24, 72, 72);
SetProperty ("ninepatch.client_size", 420, 300);
SetProperty ("position", 0.5, 0.5);

CreateComp ("Textbox", "Title");
SetProperty ("textbox.text", "Paused");
SetProperty ("position", 0.5, 0.36);

CreateComp ("Button", "Resume");
SetProperty ("button.text", "Resume");
SetProperty ("position", 0.5, 0.6);
