-- ui/labs/world-lab.lua
--
-- The world lab: its tool bar across the top (the "panel": presses on it
-- do not reach the world below) and the ideal time of the world in
-- "Time". The world itself is drawn by the screen.

UIEvents ("ui/labs/world-lab-events.lua");

CreateComp ("Rectangle", "panel");
SetProperty ("position", 0, 0);
SetProperty ("rectangle.rect_width", 1024);
SetProperty ("rectangle.rect_height", 44);
SetProperty ("color.r", 0.12);
SetProperty ("color.g", 0.12);
SetProperty ("color.b", 0.14);
SetProperty ("alpha", 0.9);

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

CreateComp ("Button", "Play");
SetProperty ("inherit", "SmallButton");
SetProperty ("scale", 0.55);
SetProperty ("position", 0.223, 0.037);
SetProperty ("button.text", "Play");

CreateComp ("Button", "ModeCreate");
SetProperty ("inherit", "SmallButton");
SetProperty ("scale", 0.55);
SetProperty ("position", 0.310, 0.037);
SetProperty ("button.text", "Create");

CreateComp ("Button", "ModeEdit");
SetProperty ("inherit", "SmallButton");
SetProperty ("scale", 0.55);
SetProperty ("position", 0.398, 0.037);
SetProperty ("button.text", "Edit");

CreateComp ("Button", "SelectObject");
SetProperty ("inherit", "SmallButton");
SetProperty ("scale", 0.55);
SetProperty ("position", 0.485, 0.037);
SetProperty ("button.text", "Objects");

CreateComp ("Button", "WorldParms");
SetProperty ("inherit", "SmallButton");
SetProperty ("scale", 0.55);
SetProperty ("position", 0.573, 0.037);
SetProperty ("button.text", "World");

CreateComp ("Button", "UpdateStep");
SetProperty ("inherit", "SmallButton");
SetProperty ("scale", 0.55);
SetProperty ("position", 0.660, 0.037);
SetProperty ("button.text", "Step");

CreateComp ("Button", "Load");
SetProperty ("inherit", "SmallButton");
SetProperty ("scale", 0.55);
SetProperty ("position", 0.748, 0.037);
SetProperty ("button.text", "Load");

CreateComp ("Button", "Save");
SetProperty ("inherit", "SmallButton");
SetProperty ("scale", 0.55);
SetProperty ("position", 0.836, 0.037);
SetProperty ("button.text", "Save");

-- The box fills the room right of Save; its text is the small font at
-- its own size (text_scale x scale = 1), the crispest there is.
CreateComp ("Editbox", "Time");
SetProperty ("scale", 0.37);
SetProperty ("position", 0.94, 0.037);
SetProperty ("editbox.font", "fonts/small.sft");
SetProperty ("editbox.text_scale", 2.7027);
SetProperty ("editbox.max_chars", 4);
SetProperty ("editbox.text", "30");
