-- ui/purchase-in-progress.lua
--
-- Shown while the store works on a purchase or a restore; the in-app
-- purchase service pops it when the store answers. A store that never
-- answers must not keep the player here: after a few seconds the player
-- may close it (a late answer still shows its popup).

UIEvents ("ui/purchase-in-progress-events.lua");

CreateComp ("NinePatch", "Dim");
SetProperty ("inherit", "Dim");

CreateComp ("NinePatch", "Panel");
SetProperty ("inherit", "GlassPanel");
SetProperty ("ninepatch.client_size", 420, 200);

CreateComp ("Textbox", "Title");
SetProperty ("inherit", "LightTitle");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.3);
SetProperty ("textbox.text", "Talking to the store...");

CreateComp ("Image", "Windmill");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0.02);
SetProperty ("scale", 0.8);
SetProperty ("image.bitmap", "loader/windmill.png");

CreateComp ("Button", "Cancel");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0.32);
SetProperty ("localize", 0);
SetProperty ("button.text", "Close");
SetProperty ("visible", 0);
