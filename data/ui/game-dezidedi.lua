-- ui/game-dezidedi.lua
--
-- The game screen's HUD over the level. The game looks these up by name:
-- Clock (the row of lives is drawn from its place, and it fades with the
-- stopwatch and the time while the prologue is told), Time (the level's
-- time), Pause, Fruit (where collected fruit flies to: the game sizes it to
-- the row of the fruit counter, which notices keep off), StoryPanel (the
-- prologue; a click shows the next line), WormTalk and BossTalk (the
-- worm's and the bug's lines).
--
-- Clock is an invisible area the size of the reference screen, so that
-- its face and the time stand in shares of the screen beside it; the bug's
-- face stands in shares of its line's fixed width (300).

UIEvents ("ui/game-dezidedi-events.lua");

CreateComp ("Marker", "Clock");
SetProperty ("marker.area_width", 1024);
SetProperty ("marker.area_height", 600);
SetProperty ("position", 0.045, 0.19);
SetProperty ("interactive", 0);

CreateComp ("Image", "ClockFace");
SetProperty ("parent", "Clock");
SetProperty ("position", 0, -0.11);
SetProperty ("image.bitmap", "ui/gfx/clock-face.png");
SetProperty ("align", "CENTER");
SetProperty ("interactive", 0);

CreateComp ("Textbox", "Time");
SetProperty ("parent", "Clock");
SetProperty ("position", 0.04, -0.105);
SetProperty ("textbox.font", "fonts/medium.sft");
SetProperty ("textbox.text", "0:00");
SetProperty ("localize", 0);
SetProperty ("color", 1, 0.97, 0.85, 1);
SetProperty ("align", "VCENTER");
SetProperty ("interactive", 0);

CreateComp ("Image", "Fruit");
SetProperty ("position", 0.5, 0.07);
SetProperty ("align", "CENTER");
SetProperty ("interactive", 0);

CreateComp ("Button", "Pause");
SetProperty ("button.bm_idle", "ui/gfx/icon-button.png");
SetProperty ("button.bm_over", "ui/gfx/icon-button-over.png");
SetProperty ("button.bm_pressed", "ui/gfx/icon-button-pressed.png");
SetProperty ("button.bm_disabled", "ui/gfx/icon-button-disabled.png");
SetProperty ("button.bm_icon", "ui/gfx/icon-pause.png");
SetProperty ("position", 0.95, 0.085);
SetProperty ("align", "CENTER");
SetProperty ("scale", 0.85);

-- The prologue over the first level: the worm speaks on the left, the bug
-- on the right; a click anywhere on the panel goes on (what lies on it
-- stays inactive, so the panel takes every click).
CreateComp ("NinePatch", "StoryPanel");
SetProperty ("ninepatch.bitmap", "ui/gfx/panel-glass.png");
SetProperty ("ninepatch.bitmap_client_rect", 24, 24, 72, 72);
SetProperty ("ninepatch.client_size", 900, 120);
SetProperty ("position", 0.5, 0.84);
SetProperty ("align", "CENTER");
SetProperty ("visible", 0);
SetProperty ("active", 0);
SetProperty ("interactive", 1);

CreateComp ("Image", "WormFace");
SetProperty ("parent", "StoryPanel");
SetProperty ("position", -0.44, 0);
SetProperty ("image.bitmap", "actors/gfx/worm/worm-head.png");
SetProperty ("align", "CENTER");
SetProperty ("interactive", 0);
SetProperty ("active", 0);

CreateComp ("Textbox", "WormTalk");
SetProperty ("parent", "StoryPanel");
SetProperty ("position", -0.38, 0);
SetProperty ("textbox.font", "fonts/medium.sft");
SetProperty ("textbox.text", " ");
SetProperty ("textbox.textbox_width", 400);
SetProperty ("color", 1, 0.97, 0.85, 1);
SetProperty ("align", "VCENTER");
SetProperty ("interactive", 0);
SetProperty ("active", 0);

CreateComp ("Textbox", "BossTalk");
SetProperty ("parent", "StoryPanel");
SetProperty ("position", 0.37, 0);
SetProperty ("textbox.font", "fonts/medium.sft");
SetProperty ("textbox.text", " ");
SetProperty ("textbox.textbox_width", 300);
SetProperty ("textbox.textbox_align", "RIGHT");
SetProperty ("color", 0.75, 1, 0.6, 1);
SetProperty ("align", "RIGHT VCENTER");
SetProperty ("visible", 0);
SetProperty ("interactive", 0);
SetProperty ("active", 0);

CreateComp ("Image", "BugFace");
SetProperty ("parent", "BossTalk");
SetProperty ("position", 0.1877, 0);
SetProperty ("image.bitmap", "actors/gfx/end-bug.png");
SetProperty ("scale", 0.7);
SetProperty ("align", "CENTER");
SetProperty ("interactive", 0);
SetProperty ("active", 0);
