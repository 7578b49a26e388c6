-- ui/templates.lua
--
-- Component templates. Every component a layout creates starts as a copy
-- of "Default<Type>"; a layout that sets "inherit" takes one of the named
-- templates below instead. Pictures are drawn for a 1024 x 600 screen.

-- Wooden plank button with dark lettering; the over and pressed planks
-- are drawn over the idle one.
CreateComp ("Button", "DefaultButton");
SetProperty ("interactive", 1);
SetProperty ("align", "CENTER");
SetProperty ("button.bm_idle", "ui/gfx/button.png");
SetProperty ("button.bm_over", "ui/gfx/button-over.png");
SetProperty ("button.bm_pressed", "ui/gfx/button-pressed.png");
SetProperty ("button.bm_disabled", "ui/gfx/button-disabled.png");
SetProperty ("button.font", "fonts/medium.sft");
SetProperty ("button.text_offset", 0, 1);
SetProperty ("button.text_color_idle", 0.26, 0.14, 0.05, 1);
SetProperty ("button.text_color_over", 0.14, 0.07, 0.02, 1);
SetProperty ("button.text_color_pressed", 0.10, 0.05, 0.01, 1);
SetProperty ("button.text_color_disabled", 0.36, 0.32, 0.28, 0.8);
SetProperty ("button.text_scale_idle", 1.15);
SetProperty ("button.text_scale_over", 1.22);
SetProperty ("button.text_scale_pressed", 1.1);
SetProperty ("snd_over", "sfx/ui-button-over");
SetProperty ("snd_press", "sfx/ui-button-press");
SetProperty ("snd_release", "sfx/ui-button-release");

CreateComp ("Slider", "DefaultSlider");
SetProperty ("interactive", 1);
SetProperty ("align", "CENTER");
SetProperty ("slider.bm_panel", "ui/gfx/slider-track.png");
SetProperty ("slider.bm_full", "ui/gfx/slider-fill.png");
SetProperty ("slider.bm_marker", "ui/gfx/slider-knob.png");
SetProperty ("slider.padding", "10", "10");

CreateComp ("Editbox", "DefaultEditbox");
SetProperty ("interactive", 1);
SetProperty ("align", "CENTER");
SetProperty ("editbox.bm_panel", "ui/gfx/editbox.png");
SetProperty ("editbox.bm_panel_over", "ui/gfx/editbox-over.png");
SetProperty ("editbox.bm_cursor", "ui/gfx/editbox-cursor.png");
SetProperty ("editbox.font", "fonts/medium.sft");
SetProperty ("editbox.padding", 16);
SetProperty ("editbox.max_chars", 20);
SetProperty ("editbox.text_color", 0.23, 0.13, 0.05);

-- The box alone; its label is a text box of its own, so that the label's
-- colour does not tint the wood.
CreateComp ("Checkbox", "DefaultCheckbox");
SetProperty ("interactive", 1);
SetProperty ("align", "CENTER");
SetProperty ("checkbox.bm_idle", "ui/gfx/checkbox-off.png");
SetProperty ("checkbox.bm_marker", "ui/gfx/checkbox-mark.png");
SetProperty ("snd_press", "sfx/ui-button-press");
SetProperty ("snd_release", "sfx/ui-button-release");

-- White lines on the dark list area.
CreateComp ("Listbox", "DefaultListbox");
SetProperty ("interactive", 1);
SetProperty ("align", "CENTER");
SetProperty ("listbox.bm_frame", "ui/gfx/listbox-frame.png");
SetProperty ("listbox.bm_frame_top", "ui/gfx/listbox-frame-top.png");
SetProperty ("listbox.bm_selection", "ui/gfx/listbox-selection.png");
SetProperty ("listbox.font", "fonts/medium.sft");
SetProperty ("listbox.padding_left", "28");
SetProperty ("listbox.padding_right", "28");
SetProperty ("listbox.padding_top", "18");
SetProperty ("listbox.padding_bottom", "18");

CreateComp ("Path", "DefaultPath");
CreateComp ("Emitter", "DefaultEmitter");
CreateComp ("Scriptable", "DefaultScriptable");
CreateComp ("TouchField", "DefaultTouchField");
CreateComp ("TouchGrid", "DefaultTouchGrid");

CreateComp ("NinePatch", "DefaultNinePatch");
SetProperty ("align", "CENTER");
SetProperty ("ninepatch.bitmap", "ui/gfx/panel.png");
SetProperty ("ninepatch.bitmap_client_rect", 32, 32, 96, 96);
SetProperty ("ninepatch.client_size", 320, 240);

CreateComp ("Textbox", "DefaultTextbox");
SetProperty ("textbox.font", "fonts/medium.sft");

CreateComp ("Rectangle", "DefaultRectangle");

CreateComp ("Image", "DefaultImage");
SetProperty ("align", "CENTER");

CreateComp ("Marker", "DefaultMarker");

-- A green vine with a leaf at either end: the separators and bars of the
-- menus. Centred on its position; "ruler.client_width" is half its length.
CreateComp ("Ruler", "DefaultRuler");
SetProperty ("align", "HCENTER");
SetProperty ("ruler.endpoint_bitmap", "ui/gfx/ruler-end.png");
SetProperty ("ruler.repeat_bitmap", "ui/gfx/ruler-repeat.png");

CreateComp ("Ad", "DefaultAd");
CreateComp ("Model", "DefaultModel");

-- Named templates.

-- The short plank, for OK, Cancel and the like.
CreateComp ("Button", "SmallButton");
SetProperty ("button.bm_idle", "ui/gfx/button-small.png");
SetProperty ("button.bm_over", "ui/gfx/button-small-over.png");
SetProperty ("button.bm_pressed", "ui/gfx/button-small-pressed.png");
SetProperty ("button.bm_disabled", "ui/gfx/button-small-disabled.png");

-- The round button; its sign goes in "button.bm_icon".
CreateComp ("Button", "IconButton");
SetProperty ("button.bm_idle", "ui/gfx/icon-button.png");
SetProperty ("button.bm_over", "ui/gfx/icon-button-over.png");
SetProperty ("button.bm_pressed", "ui/gfx/icon-button-pressed.png");
SetProperty ("button.bm_disabled", "ui/gfx/icon-button-disabled.png");
SetProperty ("button.icon_offset", 0, -2);

-- The garden behind every menu, filling the screen whatever its shape.
CreateComp ("Image", "Background");
SetProperty ("scale_type", "FIT_TO_COVER_SCREEN");
SetProperty ("position", 0.5, 0.5);
SetProperty ("image.bitmap", "ui/gfx/menu-background.jpg");

-- A paper sheet in a wooden frame, for dialogs.
CreateComp ("NinePatch", "Panel");
SetProperty ("position", 0.5, 0.5);

-- A dark see-through green sheet, for menus over the garden or a level.
CreateComp ("NinePatch", "GlassPanel");
SetProperty ("position", 0.5, 0.5);
SetProperty ("ninepatch.bitmap", "ui/gfx/panel-glass.png");
SetProperty ("ninepatch.bitmap_client_rect", 24, 24, 72, 72);

-- Darkens whatever lies under a dialog; a little larger than the screen,
-- so that the sheet's rim stays outside.
CreateComp ("NinePatch", "Dim");
SetProperty ("position", 0.5, 0.5);
SetProperty ("scale_type", "FIT_TO_COVER_SCREEN");
SetProperty ("ninepatch.bitmap", "ui/gfx/panel-glass.png");
SetProperty ("ninepatch.bitmap_client_rect", 24, 24, 72, 72);
SetProperty ("ninepatch.client_size", 1000, 600);
SetProperty ("scale", 1.1);
SetProperty ("alpha", 0.6);

-- Headings and text on paper: dark brown.
CreateComp ("Textbox", "Title");
SetProperty ("align", "CENTER");
SetProperty ("color.r", 0.33);
SetProperty ("color.g", 0.19);
SetProperty ("color.b", 0.07);
SetProperty ("scale", 1.3);

CreateComp ("Textbox", "Text");
SetProperty ("align", "VCENTER");
SetProperty ("color.r", 0.26);
SetProperty ("color.g", 0.15);
SetProperty ("color.b", 0.06);

-- Headings and text on glass: cream.
CreateComp ("Textbox", "LightTitle");
SetProperty ("align", "CENTER");
SetProperty ("color.r", 1);
SetProperty ("color.g", 0.95);
SetProperty ("color.b", 0.8);
SetProperty ("scale", 1.3);

CreateComp ("Textbox", "LightText");
SetProperty ("align", "VCENTER");
SetProperty ("color.r", 1);
SetProperty ("color.g", 0.96);
SetProperty ("color.b", 0.86);
