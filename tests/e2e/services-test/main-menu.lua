-- ui/main-menu.lua (the player services' end-to-end test)
--
-- Stands in for the main menu: buttons that reach the services the way
-- the game's menus and level end do.

UIEvents ("ui/main-menu-events.lua");

CreateComp ("Image", "Background");
SetProperty ("inherit", "Background");

CreateComp ("Button", "Shop");
SetProperty ("localize", 0);
SetProperty ("position", 0.5, 0.3);
SetProperty ("button.text", "Shop");

CreateComp ("Button", "Unlock");
SetProperty ("localize", 0);
SetProperty ("position", 0.5, 0.45);
SetProperty ("button.text", "Unlock");

CreateComp ("Button", "Trophies");
SetProperty ("localize", 0);
SetProperty ("position", 0.5, 0.6);
SetProperty ("button.text", "Trophies");
