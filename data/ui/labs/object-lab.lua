-- ui/labs/object-lab.lua
--
-- The object lab: the actor files and the materials on the left, the five
-- values below them, and the shape's picture magnified in "EditArea"
-- around "GridCenter" (drawn by the screen). The sliders are drawn at
-- their full size, so that a pixel of their track is a third of a hundredth.

UIEvents ("ui/labs/object-lab-events.lua");

CreateComp ("Rectangle", "Backdrop");
SetProperty ("position", 0, 0);
SetProperty ("scale_type", "STRETCH_TO_COVER_SCREEN");
SetProperty ("rectangle.rect_width", 1024);
SetProperty ("rectangle.rect_height", 600);
SetProperty ("color.r", 0.1);
SetProperty ("color.g", 0.1);
SetProperty ("color.b", 0.12);

CreateComp ("Rectangle", "EditArea");
SetProperty ("position", 0.44, 0.02);
SetProperty ("rectangle.rect_width", 560);
SetProperty ("rectangle.rect_height", 576);
SetProperty ("color.r", 0.18);
SetProperty ("color.g", 0.2);
SetProperty ("color.b", 0.24);

CreateComp ("Marker", "GridCenter");
SetProperty ("position", 0.71875, 0.5);

-- The two lists one above the other between the buttons and the first
-- slider's knob (y 40 to 412), each 400 x 320 at 0.56.
CreateComp ("Listbox", "Objects");
SetProperty ("position", 0.2, 0.2167);
SetProperty ("scale", 0.56);
SetProperty ("listbox.content_size", 500, 150);
-- Room for the longest actor file's name.
SetProperty ("listbox.padding_left", 18);
SetProperty ("listbox.padding_right", 14);

CreateComp ("Listbox", "Materials");
SetProperty ("position", 0.2, 0.528);
SetProperty ("scale", 0.56);
SetProperty ("listbox.content_size", 500, 150);

CreateComp ("Slider", "HitPoints");
SetProperty ("position", 0.1640625, 0.72);

CreateComp ("Textbox", "TextHitPoints");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("scale", 0.6);
SetProperty ("position", 0.325, 0.72);
SetProperty ("textbox.text", "HitPoints");

CreateComp ("Slider", "Damage");
SetProperty ("position", 0.1640625, 0.780);

CreateComp ("Textbox", "TextDamage");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("scale", 0.6);
SetProperty ("position", 0.325, 0.780);
SetProperty ("textbox.text", "Damage");

CreateComp ("Slider", "Friction");
SetProperty ("position", 0.1640625, 0.840);

CreateComp ("Textbox", "TextFriction");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("scale", 0.6);
SetProperty ("position", 0.325, 0.840);
SetProperty ("textbox.text", "Friction");

CreateComp ("Slider", "Restitution");
SetProperty ("position", 0.1640625, 0.900);

CreateComp ("Textbox", "TextRestitution");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("scale", 0.6);
SetProperty ("position", 0.325, 0.900);
SetProperty ("textbox.text", "Restitution");

CreateComp ("Slider", "Density");
SetProperty ("position", 0.1640625, 0.960);

CreateComp ("Textbox", "TextDensity");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("scale", 0.6);
SetProperty ("position", 0.325, 0.960);
SetProperty ("textbox.text", "Density");

CreateComp ("Button", "Back");
SetProperty ("inherit", "SmallButton");
SetProperty ("scale", 0.55);
SetProperty ("position", 0.048, 0.037);
SetProperty ("button.text", "Back");

CreateComp ("Button", "Reset");
SetProperty ("inherit", "SmallButton");
SetProperty ("scale", 0.55);
SetProperty ("position", 0.136, 0.037);
SetProperty ("button.text", "Reset");

CreateComp ("Button", "Save");
SetProperty ("inherit", "SmallButton");
SetProperty ("scale", 0.55);
SetProperty ("position", 0.223, 0.037);
SetProperty ("button.text", "Save");
