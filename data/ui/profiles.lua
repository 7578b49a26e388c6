-- ui/profiles.lua
--
-- The players of this device: pick one, or make a new one.

UIEvents ("ui/profiles-events.lua");

CreateComp ("NinePatch", "Dim");
SetProperty ("inherit", "Dim");

CreateComp ("NinePatch", "Panel");
SetProperty ("inherit", "Panel");
SetProperty ("ninepatch.client_size", 500, 440);

CreateComp ("Textbox", "Title");
SetProperty ("inherit", "Title");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.395);
SetProperty ("textbox.text", "PLAYERS");

-- Filled with the players' names each time the screen shows.
CreateComp ("Listbox", "ProfileList");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.04);

CreateComp ("Button", "New");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.29, 0.38);
SetProperty ("button.text", "NEW");

CreateComp ("Button", "Ok");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0.38);
SetProperty ("button.text", "OK");

CreateComp ("Button", "Cancel");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.29, 0.38);
SetProperty ("button.text", "CANCEL");
