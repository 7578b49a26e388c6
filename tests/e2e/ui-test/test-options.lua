-- ui/test-options.lua

UIEvents ("ui/events/test-options.lua");

CreateComp ("NinePatch", "Panel");
SetProperty ("ninepatch.bitmap", "ui/gfx/panel.png");
SetProperty ("ninepatch.bitmap_client_rect", 32, 32, 96, 96);
SetProperty ("ninepatch.client_size", 560, 360);
SetProperty ("position", 0.5, 0.5);

CreateComp ("Textbox", "Title");
SetProperty ("textbox.text", "Options");
SetProperty ("color", 0.3, 0.2, 0.1, 1);
SetProperty ("position", 0.5, 0.3);

CreateComp ("Button", "Back");
SetProperty ("button.bm_idle", "ui/gfx/button-small.png");
SetProperty ("button.bm_over", "ui/gfx/button-small-over.png");
SetProperty ("button.bm_pressed", "ui/gfx/button-small-pressed.png");
SetProperty ("button.bm_disabled", "ui/gfx/button-small-disabled.png");
SetProperty ("button.text", "Back");
SetProperty ("position", 0.5, 0.68);
