-- ui/credits.lua
--
-- The credits roll up over the darkened garden, the emblem first and the
-- text hanging under it. They hang in a touch field: the script rolls it
-- slowly, and a finger drags it up and down. The back button (or Escape)
-- leaves; so does a click on the fader, which only the automated player
-- can give (it takes no touches).

UIEvents ("ui/credits-events.lua");

CreateComp ("Image", "Background");
SetProperty ("inherit", "Background");

CreateComp ("NinePatch", "fader");
SetProperty ("inherit", "Dim");
SetProperty ("alpha", 0.95);

-- The whole screen is the view; the script sets the content's height from
-- the emblem and the text once they are measured. Drags are held to the
-- ends and eased, and so is the script's roll.
CreateComp ("TouchField", "Scroll");
SetProperty ("position", 0, 0);
SetProperty ("touchfield.area_width", 1024);
SetProperty ("touchfield.area_height", 600);
SetProperty ("touchfield.content_width", 1024);
SetProperty ("touchfield.content_height", 1100);
SetProperty ("touchfield.axis_x_enabled", 0);
SetProperty ("touchfield.limit_type", "SMOOTH_DRAG");

CreateComp ("Image", "Emblem");
SetProperty ("parent", "Scroll");
SetProperty ("active", 0);
SetProperty ("position", 0.5, 0.2);
SetProperty ("scale", 0.7);
SetProperty ("image.bitmap", "ui/gfx/logo-emblem.png");

-- The tile model turns under the last line; the script puts it there once
-- the text is measured. Its depth is position z times the screen height:
-- 0.1 is the depth at which the UI is drawn, where a model unit is a pixel
-- and the model sits where its position says.
CreateComp ("Model", "Tile");
SetProperty ("parent", "Scroll");
SetProperty ("position", 0.5, 1.6);
SetProperty ("position.z", 0.1);
SetProperty ("scale", 1.4);
SetProperty ("model.model", "models/tile.xml");

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
