-- ui/labs/world-Lab-parms.lua
--
-- The world's parameters: its ammunition list ("Ammos", the names of
-- "ammos.xml" separated by commas) and the bounds fitted to its bodies.

UIEvents ("ui/labs/world-Lab-parms-events.lua");

CreateComp ("NinePatch", "Panel");
SetProperty ("inherit", "GlassPanel");
SetProperty ("ninepatch.client_size", 520, 260);

CreateComp ("Textbox", "AmmosLabel");
SetProperty ("inherit", "LightText");
SetProperty ("parent", "Panel");
SetProperty ("localize", 0);
SetProperty ("position", -0.42, -0.3);
SetProperty ("textbox.text", "Ammunition:");

CreateComp ("Editbox", "Ammos");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.12, -0.3);
SetProperty ("editbox.max_chars", 60);

CreateComp ("Button", "CalculateBounds");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.22, 0.3);
SetProperty ("button.text", "Bounds");

CreateComp ("Button", "OK");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.22, 0.3);
SetProperty ("button.text", "OK");

CreateComp ("Button", "Back");
SetProperty ("inherit", "SmallButton");
SetProperty ("scale", 0.55);
SetProperty ("position", 0.048, 0.037);
SetProperty ("button.text", "Back");
