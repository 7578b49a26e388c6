-- ui/fw/screen-browser.lua

UIEvents ("ui/fw/screen-browser-events.lua");

-- The developer's screen browser: the registered screens in a list; "Edit"
-- shows the one selected. Keys: A and Z step through them, Escape comes
-- back here.

-- The list's frame (400 x 320, centred on the position, as every list's)
-- starts 30 units from the left edge and 60 from the top.
CreateComp ("Listbox", "Screens");
SetProperty ("position", 0.2246, 0.3667);
SetProperty ("listbox.font", "core/console.sft");
SetProperty ("listbox.bm_selection", "ui/gfx/listbox-selection.png");
SetProperty ("interactive", 1);

CreateComp ("Button", "Edit");
SetProperty ("button.bm_idle", "ui/gfx/button-small.png");
SetProperty ("button.bm_over", "ui/gfx/button-small-over.png");
SetProperty ("button.bm_pressed", "ui/gfx/button-small-pressed.png");
SetProperty ("button.bm_disabled", "ui/gfx/button-small-disabled.png");
SetProperty ("button.font", "fonts/small.sft");
SetProperty ("button.text", "Edit");
SetProperty ("localize", 0);
SetProperty ("position", 0.2246, 0.68);
SetProperty ("align", "CENTER");
