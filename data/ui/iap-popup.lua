-- ui/iap-popup.lua
--
-- The outcome of a purchase: the in-app purchase service sends the
-- screen messages "Title" and "Text" (already in the player's words) and
-- pushes this screen.

UIEvents ("ui/iap-popup-events.lua");

CreateComp ("NinePatch", "Dim");
SetProperty ("inherit", "Dim");

CreateComp ("NinePatch", "Panel");
SetProperty ("inherit", "Panel");
SetProperty ("ninepatch.client_size", 440, 210);

CreateComp ("Textbox", "Title");
SetProperty ("inherit", "Title");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.3);
SetProperty ("textbox.text", " ");

CreateComp ("Textbox", "Text");
SetProperty ("inherit", "Text");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("align", "CENTER");
SetProperty ("position", 0, -0.03);
SetProperty ("textbox.textbox_width", "400");
SetProperty ("textbox.textbox_align", "HCENTER");
SetProperty ("textbox.text", " ");

CreateComp ("Button", "Ok");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0.28);
SetProperty ("localize", 0);
SetProperty ("button.text", "OK");
