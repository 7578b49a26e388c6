-- ui/fw/timeline.lua

-- The developer's timeline screen: every event of the loaded timeline in
-- "Events" (its id, and its type or game on the right); the selected
-- event's game in "QuestName" and its screens in "QuestDesc"; "Play"
-- replays the game up to the selected event and starts it. Escape goes
-- back.

UIEvents ("ui/fw/timeline-events.lua");

CreateComp ("Image", "Background");
SetProperty ("image.bitmap", "ui/gfx/menu-background.jpg");
SetProperty ("scale_type", "FIT_TO_COVER_SCREEN");
SetProperty ("color", 0.45, 0.5, 0.45, 1);
SetProperty ("position", 0.5, 0.5);
SetProperty ("align", "CENTER");
SetProperty ("interactive", 0);

CreateComp ("Textbox", "Title");
SetProperty ("textbox.font", "fonts/medium.sft");
SetProperty ("textbox.text", "Timeline");
SetProperty ("localize", 0);
SetProperty ("position", 0.5, 0.06);
SetProperty ("align", "CENTER");
SetProperty ("interactive", 0);

CreateComp ("Listbox", "Events");
SetProperty ("position", 0.03, 0.12);
SetProperty ("listbox.content_size", 460, 440);
SetProperty ("listbox.font", "core/console.sft");
SetProperty ("listbox.bm_selection", "ui/gfx/listbox-selection.png");
SetProperty ("interactive", 1);

CreateComp ("Textbox", "QuestName");
SetProperty ("textbox.font", "fonts/medium.sft");
SetProperty ("textbox.text", "");
SetProperty ("localize", 0);
SetProperty ("position", 0.55, 0.2);
SetProperty ("interactive", 0);

CreateComp ("Textbox", "QuestDesc");
SetProperty ("textbox.font", "fonts/small.sft");
SetProperty ("textbox.text", "");
SetProperty ("textbox.textbox_width", 400);
SetProperty ("localize", 0);
SetProperty ("position", 0.55, 0.3);
SetProperty ("interactive", 0);

CreateComp ("Button", "Play");
SetProperty ("button.text", "Play");
SetProperty ("scale", 0.6);
SetProperty ("localize", 0);
SetProperty ("position", 0.7, 0.9);
SetProperty ("align", "CENTER");

CreateComp ("Button", "Back");
SetProperty ("button.text", "Back");
SetProperty ("scale", 0.6);
SetProperty ("localize", 0);
SetProperty ("position", 0.88, 0.9);
SetProperty ("align", "CENTER");
