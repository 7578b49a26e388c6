-- ui/new-profile.lua
--
-- A new player: a name, checked before the player is made.

UIEvents ("ui/new-profile-events.lua");

CreateComp ("NinePatch", "Dim");
SetProperty ("inherit", "Dim");

CreateComp ("NinePatch", "Panel");
SetProperty ("inherit", "Panel");
SetProperty ("ninepatch.client_size", 440, 300);

CreateComp ("Textbox", "Title");
SetProperty ("inherit", "Title");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.36);
SetProperty ("textbox.text", "NEW_PROFILE");

CreateComp ("Textbox", "Prompt");
SetProperty ("inherit", "Text");
SetProperty ("parent", "Panel");
SetProperty ("align", "CENTER");
SetProperty ("position", 0, -0.18);
SetProperty ("textbox.textbox_align", "HCENTER");
SetProperty ("textbox.text", "ENTER_NAME");

CreateComp ("Editbox", "Name");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0);

-- Shown when the name cannot be taken.
CreateComp ("Textbox", "Problem");
SetProperty ("inherit", "Text");
SetProperty ("parent", "Panel");
SetProperty ("align", "CENTER");
SetProperty ("position", 0, 0.12);
SetProperty ("visible", 0);
SetProperty ("color.r", 0.7);
SetProperty ("color.g", 0.12);
SetProperty ("color.b", 0.05);
SetProperty ("textbox.text", "NAME_NOT_VALID");

CreateComp ("Button", "Ok");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.18, 0.33);
SetProperty ("button.text", "OK");

CreateComp ("Button", "Cancel");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.18, 0.33);
SetProperty ("button.text", "CANCEL");
