-- ui/labs/object-lab.lua
--
-- The object lab: the actor files and the materials on the left, the
-- shape's picture magnified in "EditArea" around "GridCenter" (drawn by
-- the screen), the five values below the lists.

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
SetProperty ("position", 0.42, 0.04);
SetProperty ("rectangle.rect_width", 570);
SetProperty ("rectangle.rect_height", 540);
SetProperty ("color.r", 0.18);
SetProperty ("color.g", 0.2);
SetProperty ("color.b", 0.24);

CreateComp ("Marker", "GridCenter");
SetProperty ("position", 0.7, 0.49);

CreateComp ("Listbox", "Objects");
SetProperty ("position", 0.2, 0.27);
SetProperty ("scale", 0.6);
SetProperty ("listbox.content_size", 560, 420);

CreateComp ("Listbox", "Materials");
SetProperty ("position", 0.2, 0.6);
SetProperty ("scale", 0.6);
SetProperty ("listbox.content_size", 560, 160);

CreateComp ("Slider", "HitPoints");
SetProperty ("position", 0.26, 0.72);
SetProperty ("scale", 0.5);

CreateComp ("Textbox", "TextHitPoints");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("scale", 0.7);
SetProperty ("position", 0.02, 0.72);
SetProperty ("textbox.text", "HitPoints");

CreateComp ("Slider", "Damage");
SetProperty ("position", 0.26, 0.765);
SetProperty ("scale", 0.5);

CreateComp ("Textbox", "TextDamage");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("scale", 0.7);
SetProperty ("position", 0.02, 0.765);
SetProperty ("textbox.text", "Damage");

CreateComp ("Slider", "Friction");
SetProperty ("position", 0.26, 0.810);
SetProperty ("scale", 0.5);

CreateComp ("Textbox", "TextFriction");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("scale", 0.7);
SetProperty ("position", 0.02, 0.810);
SetProperty ("textbox.text", "Friction");

CreateComp ("Slider", "Restitution");
SetProperty ("position", 0.26, 0.855);
SetProperty ("scale", 0.5);

CreateComp ("Textbox", "TextRestitution");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("scale", 0.7);
SetProperty ("position", 0.02, 0.855);
SetProperty ("textbox.text", "Restitution");

CreateComp ("Slider", "Density");
SetProperty ("position", 0.26, 0.900);
SetProperty ("scale", 0.5);

CreateComp ("Textbox", "TextDensity");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("scale", 0.7);
SetProperty ("position", 0.02, 0.900);
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
