-- ui/options.lua
--
-- A dialog over the screen that pushed it (the extras or the pause menu).

UIEvents ("ui/options-events.lua");

CreateComp ("NinePatch", "Dim");
SetProperty ("inherit", "Dim");

CreateComp ("NinePatch", "Panel");
SetProperty ("inherit", "Panel");
SetProperty ("ninepatch.client_size", 440, 320);

CreateComp ("Textbox", "Title");
SetProperty ("inherit", "Title");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.368);
SetProperty ("textbox.text", "OPTIONS");

CreateComp ("Ruler", "TitleRule");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.31);
SetProperty ("ruler.client_width", 150);
SetProperty ("ruler.client_height", 16);

CreateComp ("Textbox", "SoundLabel");
SetProperty ("inherit", "Text");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.415, -0.163);
SetProperty ("textbox.text", "SOUND_VOLUME");

CreateComp ("Slider", "SoundVolume");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.1, -0.163);

CreateComp ("Textbox", "MusicLabel");
SetProperty ("inherit", "Text");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.415, -0.01);
SetProperty ("textbox.text", "MUSIC_VOLUME");

CreateComp ("Slider", "MusicVolume");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.1, -0.01);

CreateComp ("Checkbox", "LowerDetails");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.365, 0.142);

CreateComp ("Textbox", "LowerDetailsLabel");
SetProperty ("inherit", "Text");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.3, 0.142);
SetProperty ("textbox.text", "LOWER_DETAILS");

CreateComp ("Button", "Ok");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0.337);
SetProperty ("button.text", "OK");
