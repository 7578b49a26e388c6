-- ui/templates.lua (the end-to-end test's own)

CreateComp ("Button", "DefaultButton");
SetProperty ("button.bm_idle", "ui/gfx/button.png");
SetProperty ("button.bm_over", "ui/gfx/button-over.png");
SetProperty ("button.bm_pressed", "ui/gfx/button-pressed.png");
SetProperty ("button.bm_disabled", "ui/gfx/button-disabled.png");
SetProperty ("button.font", "fonts/medium.sft");
SetProperty ("button.text_color_idle", 1, 1, 0.9, 1);
SetProperty ("button.text_color_over", 1, 1, 0.6, 1);
SetProperty ("button.text_color_pressed", 1, 0.9, 0.5, 1);
SetProperty ("button.scale_over", 1.06);
SetProperty ("button.scale_pressed", 0.96);
SetProperty ("align", "CENTER");
SetProperty ("localize", 0);

CreateComp ("Textbox", "DefaultTextbox");
SetProperty ("textbox.font", "fonts/medium.sft");
SetProperty ("interactive", 0);
SetProperty ("align", "CENTER");
SetProperty ("localize", 0);

CreateComp ("Image", "DefaultImage");
SetProperty ("interactive", 0);
SetProperty ("align", "CENTER");

CreateComp ("NinePatch", "DefaultNinePatch");
SetProperty ("interactive", 0);
SetProperty ("align", "CENTER");
