-- ui/story.lua
--
-- The screen "Story": one picture of the story in its wooden frame over
-- the garden, a caption under it and "Continue", which ends the timeline
-- event. The picture and the caption come from the event as the screen
-- messages "Panel" (a picture file) and "Text" (see ui/story-events.lua).

UIEvents ("ui/story-events.lua");

CreateComp ("Image", "Background");
SetProperty ("image.bitmap", "ui/gfx/menu-background.jpg");
SetProperty ("scale_type", "FIT_TO_COVER_SCREEN");
SetProperty ("color", 0.85, 0.8, 0.7, 1);
SetProperty ("position", 0.5, 0.5);
SetProperty ("align", "CENTER");
SetProperty ("interactive", 0);

CreateComp ("Image", "Panel");
SetProperty ("image.bitmap", "ui/gfx/story/prologue-1.jpg");
SetProperty ("scale", 1.15);
SetProperty ("position", 0.5, 0.375);
SetProperty ("align", "CENTER");
SetProperty ("interactive", 0);

CreateComp ("Image", "Frame");
SetProperty ("image.bitmap", "ui/gfx/story/story-frame.png");
SetProperty ("scale", 1.15);
SetProperty ("position", 0.5, 0.375);
SetProperty ("align", "CENTER");
SetProperty ("interactive", 0);

-- The caption on a dark glass strip of its own between the picture and
-- the buttons, so that it reads over the garden's tree and flowers. The
-- script sizes the strip to the caption's lines (ui/story-events.lua).
CreateComp ("NinePatch", "CaptionBack");
SetProperty ("inherit", "GlassPanel");
SetProperty ("position", 0.5, 0.795);
SetProperty ("ninepatch.client_size", 860, 56);
SetProperty ("alpha", 0.9);
SetProperty ("interactive", 0);

CreateComp ("Textbox", "Caption");
SetProperty ("inherit", "LightText");
SetProperty ("textbox.font", "fonts/medium.sft");
SetProperty ("textbox.text", " ");
SetProperty ("textbox.textbox_width", 860);
SetProperty ("textbox.textbox_align", "HCENTER");
SetProperty ("position", 0.5, 0.795);
SetProperty ("align", "CENTER");
SetProperty ("interactive", 0);

CreateComp ("Button", "Continue");
SetProperty ("button.text", "Continue");
SetProperty ("scale", 0.8);
SetProperty ("position", 0.86, 0.93);
SetProperty ("align", "CENTER");
SetProperty ("interactive", 1);
