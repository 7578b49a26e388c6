-- ui/help.lua
--
-- How to play: four steps, each a picture and a line.

UIEvents ("ui/help-events.lua");

CreateComp ("Image", "Background");
SetProperty ("inherit", "Background");

CreateComp ("NinePatch", "Panel");
SetProperty ("inherit", "GlassPanel");
SetProperty ("ninepatch.client_size", 720, 440);

CreateComp ("Textbox", "Title");
SetProperty ("inherit", "LightTitle");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.41);
SetProperty ("textbox.text", "HOW_TO_PLAY");

CreateComp ("Ruler", "TitleRule");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.345);
SetProperty ("ruler.client_width", 240);
SetProperty ("ruler.client_height", 16);

-- 1. Grab an end of the worm.
CreateComp ("Image", "GrabWorm");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.37, -0.215);
SetProperty ("scale", 1.1);
SetProperty ("image.bitmap", "actors/gfx/worm/worm-head.png");

CreateComp ("Image", "GrabHand");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.345, -0.175);
SetProperty ("scale", 0.6);
SetProperty ("image.bitmap", "ui/gfx/tutorial-hand.png");

CreateComp ("Textbox", "GrabText");
SetProperty ("inherit", "LightText");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.27, -0.215);
SetProperty ("textbox.textbox_width", "540");
SetProperty ("textbox.text", "HELP_GRAB");

-- 2. Drag and let go to fling it from peg to peg.
CreateComp ("Image", "FlingPeg");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.37, -0.035);
SetProperty ("scale", 1.3);
SetProperty ("image.bitmap", "actors/gfx/peg.png");

CreateComp ("Image", "FlingArrow");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.335, -0.085);
SetProperty ("angle", 0.8);
SetProperty ("image.bitmap", "actors/gfx/arrow.png");

CreateComp ("Textbox", "FlingText");
SetProperty ("inherit", "LightText");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.27, -0.035);
SetProperty ("textbox.textbox_width", "540");
SetProperty ("textbox.text", "HELP_FLING");

-- 3. Collect the fruit.
CreateComp ("Image", "Fruit");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.37, 0.145);
SetProperty ("scale", 1.5);
SetProperty ("image.bitmap", "actors/gfx/fruit-1.png");

CreateComp ("Textbox", "FruitText");
SetProperty ("inherit", "LightText");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.27, 0.145);
SetProperty ("textbox.textbox_width", "540");
SetProperty ("textbox.text", "HELP_FRUIT");

-- 4. Reach the wormhole.
CreateComp ("Image", "Wormhole");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.37, 0.325);
SetProperty ("scale", 0.65);
SetProperty ("image.bitmap", "actors/gfx/wormhole.png");

CreateComp ("Textbox", "WormholeText");
SetProperty ("inherit", "LightText");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.27, 0.325);
SetProperty ("textbox.textbox_width", "540");
SetProperty ("textbox.text", "HELP_WORMHOLE");

CreateComp ("Button", "Back");
SetProperty ("inherit", "IconButton");
SetProperty ("position", 0.07, 0.89);
SetProperty ("button.bm_icon", "ui/gfx/icon-back.png");
