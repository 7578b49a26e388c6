-- ui/fw/timeline-transition.lua

-- The cover of a timeline event's transition. The screen draws the black
-- itself (FADE_BLACK only); "fader" carries the cover's alpha for the
-- started event (1 for FADE_BLACK, 0 for DYNAMIC) and is never drawn.

UIEvents ("ui/fw/timeline-transition-events.lua");

CreateComp ("Image", "fader");
SetProperty ("visible", 0);
SetProperty ("interactive", 0);
SetProperty ("position", 0.5, 0.5);
