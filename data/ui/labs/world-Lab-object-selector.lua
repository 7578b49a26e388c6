-- ui/labs/world-Lab-object-selector.lua
--
-- The strip of shapes over the world lab: drag it sideways, tap a shape to
-- place it. "Preview" marks where the current shape is shown large.

UIEvents ("ui/labs/world-Lab-object-selector-events.lua");

-- Cell i is centred at the field's x + 64 i: the first one whole on screen.
CreateComp ("TouchField", "TF");
SetProperty ("position", 0.03125, 0.5);
SetProperty ("align", "VCENTER");
SetProperty ("touchfield.area_width", 1024);
SetProperty ("touchfield.area_height", 72);
SetProperty ("touchfield.content_height", 72);

CreateComp ("Marker", "Preview");
SetProperty ("position", 0.5, 0.3);

CreateComp ("Button", "Back");
SetProperty ("inherit", "SmallButton");
SetProperty ("scale", 0.55);
SetProperty ("position", 0.048, 0.037);
SetProperty ("button.text", "Back");
