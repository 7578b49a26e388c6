-- ui/story-dialog.lua
--
-- The screen "StoryDialog": a line of the story spoken in a bubble over
-- the story's picture (the screen does not cover the one below), and
-- "DialogNext", which ends the timeline event. The speaker ("worm" or
-- "bug") and the line come from the event as the screen messages
-- "Speaker" and "Line" (see ui/story-dialog-events.lua).

UIEvents ("ui/story-dialog-events.lua");

CreateComp ("NinePatch", "Bubble");
SetProperty ("ninepatch.bitmap", "ui/gfx/talk-bubble.png");
SetProperty ("ninepatch.bitmap_client_rect", 28, 24, 68, 56);
SetProperty ("ninepatch.client_size", 600, 96);
SetProperty ("position", 0.5, 0.56);
SetProperty ("align", "CENTER");
SetProperty ("interactive", 0);

CreateComp ("Textbox", "Line");
SetProperty ("parent", "Bubble");
SetProperty ("textbox.font", "fonts/medium.sft");
SetProperty ("textbox.text", " ");
SetProperty ("textbox.textbox_width", 580);
SetProperty ("textbox.textbox_align", "HCENTER");
SetProperty ("color", 0.15, 0.1, 0.05, 1);
SetProperty ("position", 0, 0);
SetProperty ("align", "CENTER");
SetProperty ("interactive", 0);

CreateComp ("Button", "DialogNext");
SetProperty ("button.text", "Next");
SetProperty ("scale", 0.8);
SetProperty ("position", 0.86, 0.93);
SetProperty ("align", "CENTER");
SetProperty ("interactive", 1);
