-- ui/templates.lua (the touch run's own)

CreateComp ("Button", "DefaultButton");
SetProperty ("button.bm_idle", "ui/gfx/button.png");
SetProperty ("button.bm_pressed", "ui/gfx/button-pressed.png");
SetProperty ("button.font", "fonts/medium.sft");
SetProperty ("align", "CENTER");
SetProperty ("localize", 0);
