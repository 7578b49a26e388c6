-- ui/credits.lua
--
-- The credits roll up over the darkened garden, the emblem first and the
-- text hanging under it. A touch anywhere (on the fader; the roll takes
-- no touches) or the back button leaves.

UIEvents ("ui/credits-events.lua");

CreateComp ("Image", "Background");
SetProperty ("inherit", "Background");

CreateComp ("NinePatch", "fader");
SetProperty ("inherit", "Dim");
SetProperty ("alpha", 0.75);

-- Moved by the script; the text follows it.
CreateComp ("Image", "Emblem");
SetProperty ("active", 0);
SetProperty ("position", 0.5, 1.25);
SetProperty ("scale", 0.7);
SetProperty ("image.bitmap", "ui/gfx/logo-emblem.png");

CreateComp ("Textbox", "Roll");
SetProperty ("inherit", "LightText");
SetProperty ("inherit_scale", false);
SetProperty ("active", 0);
SetProperty ("parent", "Emblem");
SetProperty ("align", "HCENTER");
SetProperty ("position", 0, 0.55);
SetProperty ("textbox.textbox_width", "720");
SetProperty ("textbox.textbox_align", "HCENTER");
SetProperty ("textbox.text", "CREDITS_TEXT");

CreateComp ("Button", "Back");
SetProperty ("inherit", "IconButton");
SetProperty ("position", 0.07, 0.89);
SetProperty ("button.bm_icon", "ui/gfx/icon-back.png");
