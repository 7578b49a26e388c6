-- ui/popup-ok.lua
--
-- A message and OK. The message comes as the screen message "text"
-- (SendScreenMessage ("PopupOk", "text", message)), sent before the push.

UIEvents ("ui/popup-ok-events.lua");

CreateComp ("NinePatch", "Dim");
SetProperty ("inherit", "Dim");

CreateComp ("NinePatch", "Panel");
SetProperty ("inherit", "Panel");
SetProperty ("ninepatch.client_size", 440, 190);

-- Set from the message, which is translated by the script.
CreateComp ("Textbox", "Message");
SetProperty ("inherit", "Text");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("align", "CENTER");
SetProperty ("position", 0, -0.14);
SetProperty ("textbox.textbox_width", "420");
SetProperty ("textbox.textbox_align", "HCENTER");
SetProperty ("textbox.text", " ");

CreateComp ("Button", "Ok");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0.25);
SetProperty ("button.text", "OK");
