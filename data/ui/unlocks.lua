-- ui/unlocks.lua
--
-- The shop: what the game sells through the platform's store, each with
-- its picture, name, description and price, a button to buy it and, for
-- a player who bought on another device, one to restore the purchases.
-- The in-app purchase service closes this screen after a successful
-- purchase and shows its popup.

UIEvents ("ui/unlocks-events.lua");

CreateComp ("Image", "Background");
SetProperty ("inherit", "Background");

CreateComp ("NinePatch", "Panel");
SetProperty ("inherit", "GlassPanel");
SetProperty ("ninepatch.client_size", 700, 400);

CreateComp ("Textbox", "Title");
SetProperty ("inherit", "LightTitle");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.42);
SetProperty ("textbox.text", "Unlocks");

-- BIG_BALL
CreateComp ("Image", "BigBallIcon");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.4, -0.22);
SetProperty ("scale", 0.9);
SetProperty ("image.bitmap", "in-app-purchases/gfx/big-ball.png");

CreateComp ("Textbox", "BigBallName");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", -0.3, -0.29);
SetProperty ("scale", 1.15);
SetProperty ("textbox.text", " ");

CreateComp ("Textbox", "BigBallDesc");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", -0.3, -0.16);
SetProperty ("scale", 0.8);
SetProperty ("textbox.textbox_width", "440");
SetProperty ("textbox.text", " ");

CreateComp ("Button", "BigBallBuy");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.37, -0.22);
SetProperty ("localize", 0);
SetProperty ("button.text", " ");

-- EXTRA_LIFE
CreateComp ("Image", "ExtraLifeIcon");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.4, 0.16);
SetProperty ("scale", 0.9);
SetProperty ("image.bitmap", "in-app-purchases/gfx/extra-life.png");

CreateComp ("Textbox", "ExtraLifeName");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", -0.3, 0.09);
SetProperty ("scale", 1.15);
SetProperty ("textbox.text", " ");

CreateComp ("Textbox", "ExtraLifeDesc");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", -0.3, 0.22);
SetProperty ("scale", 0.8);
SetProperty ("textbox.textbox_width", "440");
SetProperty ("textbox.text", " ");

CreateComp ("Button", "ExtraLifeBuy");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.37, 0.16);
SetProperty ("localize", 0);
SetProperty ("button.text", " ");

CreateComp ("Button", "Restore");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.37, 0.42);
SetProperty ("localize", 0);
SetProperty ("button.text", "Restore");

CreateComp ("Textbox", "Credits");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", -0.45, 0.42);
SetProperty ("scale", 0.8);
SetProperty ("textbox.text", " ");

CreateComp ("Button", "Back");
SetProperty ("inherit", "IconButton");
SetProperty ("position", 0.07, 0.89);
SetProperty ("button.bm_icon", "ui/gfx/icon-back.png");
