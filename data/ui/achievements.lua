-- ui/achievements.lua
--
-- The player's achievements, shown when there is no game centre to show
-- them: each with its medal (a padlock while locked), its name and what
-- it asks for. Up to eight, in the order of achievements/achievements.xml.

UIEvents ("ui/achievements-events.lua");

CreateComp ("Image", "Background");
SetProperty ("inherit", "Background");

CreateComp ("NinePatch", "Panel");
SetProperty ("inherit", "GlassPanel");
SetProperty ("ninepatch.client_size", 820, 440);

CreateComp ("Textbox", "Title");
SetProperty ("inherit", "LightTitle");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.44);
SetProperty ("textbox.text", "Achievements");

CreateComp ("Textbox", "Count");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("align", "CENTER");
SetProperty ("position", 0, 0.45);
SetProperty ("scale", 0.8);
SetProperty ("textbox.text", " ");

CreateComp ("Image", "Icon1");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.44, -0.27);
SetProperty ("scale", 0.85);
SetProperty ("image.bitmap", "achievements/gfx/achievement-locked.png");

CreateComp ("Textbox", "Name1");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", -0.38, -0.305);
SetProperty ("scale", 0.85);
SetProperty ("textbox.text", " ");

CreateComp ("Textbox", "Desc1");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", -0.38, -0.23);
SetProperty ("scale", 0.7);
SetProperty ("textbox.text", " ");

CreateComp ("Image", "Icon2");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.06, -0.27);
SetProperty ("scale", 0.85);
SetProperty ("image.bitmap", "achievements/gfx/achievement-locked.png");

CreateComp ("Textbox", "Name2");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", 0.12, -0.305);
SetProperty ("scale", 0.85);
SetProperty ("textbox.text", " ");

CreateComp ("Textbox", "Desc2");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", 0.12, -0.23);
SetProperty ("scale", 0.7);
SetProperty ("textbox.text", " ");

CreateComp ("Image", "Icon3");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.44, -0.07);
SetProperty ("scale", 0.85);
SetProperty ("image.bitmap", "achievements/gfx/achievement-locked.png");

CreateComp ("Textbox", "Name3");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", -0.38, -0.105);
SetProperty ("scale", 0.85);
SetProperty ("textbox.text", " ");

CreateComp ("Textbox", "Desc3");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", -0.38, -0.03);
SetProperty ("scale", 0.7);
SetProperty ("textbox.text", " ");

CreateComp ("Image", "Icon4");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.06, -0.07);
SetProperty ("scale", 0.85);
SetProperty ("image.bitmap", "achievements/gfx/achievement-locked.png");

CreateComp ("Textbox", "Name4");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", 0.12, -0.105);
SetProperty ("scale", 0.85);
SetProperty ("textbox.text", " ");

CreateComp ("Textbox", "Desc4");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", 0.12, -0.03);
SetProperty ("scale", 0.7);
SetProperty ("textbox.text", " ");

CreateComp ("Image", "Icon5");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.44, 0.13);
SetProperty ("scale", 0.85);
SetProperty ("image.bitmap", "achievements/gfx/achievement-locked.png");

CreateComp ("Textbox", "Name5");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", -0.38, 0.095);
SetProperty ("scale", 0.85);
SetProperty ("textbox.text", " ");

CreateComp ("Textbox", "Desc5");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", -0.38, 0.17);
SetProperty ("scale", 0.7);
SetProperty ("textbox.text", " ");

CreateComp ("Image", "Icon6");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.06, 0.13);
SetProperty ("scale", 0.85);
SetProperty ("image.bitmap", "achievements/gfx/achievement-locked.png");

CreateComp ("Textbox", "Name6");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", 0.12, 0.095);
SetProperty ("scale", 0.85);
SetProperty ("textbox.text", " ");

CreateComp ("Textbox", "Desc6");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", 0.12, 0.17);
SetProperty ("scale", 0.7);
SetProperty ("textbox.text", " ");

CreateComp ("Image", "Icon7");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.44, 0.33);
SetProperty ("scale", 0.85);
SetProperty ("image.bitmap", "achievements/gfx/achievement-locked.png");

CreateComp ("Textbox", "Name7");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", -0.38, 0.295);
SetProperty ("scale", 0.85);
SetProperty ("textbox.text", " ");

CreateComp ("Textbox", "Desc7");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", -0.38, 0.37);
SetProperty ("scale", 0.7);
SetProperty ("textbox.text", " ");

CreateComp ("Image", "Icon8");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.06, 0.33);
SetProperty ("scale", 0.85);
SetProperty ("image.bitmap", "achievements/gfx/achievement-locked.png");

CreateComp ("Textbox", "Name8");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", 0.12, 0.295);
SetProperty ("scale", 0.85);
SetProperty ("textbox.text", " ");

CreateComp ("Textbox", "Desc8");
SetProperty ("inherit", "LightText");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", 0.12, 0.37);
SetProperty ("scale", 0.7);
SetProperty ("textbox.text", " ");

CreateComp ("Button", "Back");
SetProperty ("inherit", "IconButton");
SetProperty ("position", 0.07, 0.89);
SetProperty ("button.bm_icon", "ui/gfx/icon-back.png");
