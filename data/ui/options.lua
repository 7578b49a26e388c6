-- ui/options.lua
--
-- A dialog over the screen that pushed it (the extras or the pause menu).

UIEvents ("ui/options-events.lua");

CreateComp ("NinePatch", "Dim");
SetProperty ("inherit", "Dim");

CreateComp ("NinePatch", "Panel");
SetProperty ("inherit", "Panel");
SetProperty ("ninepatch.client_size", 440, 300);

CreateComp ("Textbox", "Title");
SetProperty ("inherit", "Title");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.36);
SetProperty ("textbox.text", "OPTIONS");

CreateComp ("Textbox", "SoundLabel");
SetProperty ("inherit", "Text");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.415, -0.22);
SetProperty ("textbox.text", "SOUND_VOLUME");

CreateComp ("Slider", "SoundVolume");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.1, -0.22);

CreateComp ("Textbox", "MusicLabel");
SetProperty ("inherit", "Text");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.415, -0.055);
SetProperty ("textbox.text", "MUSIC_VOLUME");

CreateComp ("Slider", "MusicVolume");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.1, -0.055);

CreateComp ("Checkbox", "LowerDetails");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.365, 0.12);

CreateComp ("Textbox", "LowerDetailsLabel");
SetProperty ("inherit", "Text");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.3, 0.12);
SetProperty ("textbox.text", "LOWER_DETAILS");

CreateComp ("Button", "Ok");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0.33);
SetProperty ("button.text", "OK");
