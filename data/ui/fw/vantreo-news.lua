-- ui/fw/vantreo-news.lua
--
-- The news: one picture over the darkened screen, flown in by the screen
-- and tapped to open its link, and the round "Close" button in the corner,
-- which shows once the picture has settled. The screen sets the picture
-- and the button's text (the news item's "skip_text").

-- The layout has no events file; its screen's own code fills it in.
function OnLoad ()
end

CreateComp ("NinePatch", "Dim");
SetProperty ("inherit", "Dim");

CreateComp ("Image", "NewsImage");
SetProperty ("position", 0.5, 0.5);
SetProperty ("align", "CENTER");
SetProperty ("interactive", 1);
SetProperty ("localize", 0);

CreateComp ("Button", "Close");
SetProperty ("inherit", "IconButton");
SetProperty ("position", 0.93, 0.1);
SetProperty ("localize", 0);
SetProperty ("button.bm_icon", "ui/gfx/icon-close.png");
-- The item's own word for it, in cream under the round button.
SetProperty ("button.text_offset", 0, 52);
SetProperty ("button.text_color_idle", 1, 0.95, 0.8, 1);
SetProperty ("button.text_color_over", 1, 1, 1, 1);
SetProperty ("button.text_color_pressed", 1, 1, 1, 1);
SetProperty ("button.text", " ");
