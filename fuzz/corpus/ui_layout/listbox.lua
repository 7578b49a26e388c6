-- ui/listbox.lua
CreateComp ("Listbox", "players");
SetProperty ("listbox.bm_frame", "!NONE");
SetProperty ("listbox.content_size", 300, 90);
SetProperty ("listbox.bm_frame_top", "ui/top.png");
SetProperty ("listbox.bm_selection", "ui/bar.png");
SetProperty ("listbox.font", "fonts/menu.sft");
SetProperty ("listbox.padding_left", "7");
SetProperty ("listbox.padding_top", 3.5);
SetProperty ("listbox.selected", -2);
SetProperty ("listbox.text", "ignored");
SetProperty ("listbox.line[3].text", "refused");
