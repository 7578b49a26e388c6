-- ui/fw/loading.lua

-- The loading screen's page. The screen itself draws the worm that grows
-- across it as the progress bar, from the places of four components:
-- WormTail (where the worm's head stays), WormHead (where the moving end
-- starts), WormHeadEnd (where it ends) and Fruit (where the bug sits until
-- it flies off; its alpha fades the whole worm in).

CreateComp ("Image", "Background");
SetProperty ("image.bitmap", "ui/gfx/menu-background.jpg");
SetProperty ("scale_type", "FIT_TO_COVER_SCREEN");
SetProperty ("position", 0.5, 0.5);
SetProperty ("align", "CENTER");

CreateComp ("Textbox", "Title");
SetProperty ("textbox.font", "fonts/medium.sft");
SetProperty ("textbox.text", "Loading...");
SetProperty ("localize", 0);
SetProperty ("color.r", 0.16);
SetProperty ("color.g", 0.3);
SetProperty ("color.b", 0.08);
SetProperty ("position", 0.5, 0.5);
SetProperty ("align", "CENTER");

CreateComp ("Image", "Apple");
SetProperty ("image.bitmap", "actors/gfx/fruit-1.png");
SetProperty ("position", 0.84, 0.74);
SetProperty ("align", "CENTER");

-- The worm starts clear of the backdrop's tree and the worm hanging from
-- it, on the open meadow.
CreateComp ("Image", "WormTail");
SetProperty ("visible", 0);
SetProperty ("position", 0.34, 0.74);

CreateComp ("Image", "WormHead");
SetProperty ("visible", 0);
SetProperty ("position", 0.39, 0.74);

CreateComp ("Image", "WormHeadEnd");
SetProperty ("visible", 0);
SetProperty ("position", 0.79, 0.74);

CreateComp ("Image", "Fruit");
SetProperty ("visible", 0);
SetProperty ("position", 0.84, 0.64);
