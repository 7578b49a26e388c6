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

-- Above the picture's largest place (the area's top is a tenth of the
-- screen down), so that neither the button nor its word covers it.
CreateComp ("Button", "Close");
SetProperty ("inherit", "IconButton");
SetProperty ("position", 0.955, 0.05);
SetProperty ("scale", 0.75);
SetProperty ("localize", 0);
SetProperty ("button.bm_icon", "ui/gfx/icon-close.png");
-- The item's own word for it, in cream left of the round button, at the
-- font's own size however long it is.
SetProperty ("button.text_align", "RIGHT VCENTER");
SetProperty ("button.text_offset", -44, 0);
SetProperty ("button.max_text_width_percentage", 1000);
SetProperty ("button.text_scale_idle", 1.3);
SetProperty ("button.text_scale_over", 1.35);
SetProperty ("button.text_scale_pressed", 1.3);
SetProperty ("button.text_color_idle", 1, 0.95, 0.8, 1);
SetProperty ("button.text_color_over", 1, 1, 1, 1);
SetProperty ("button.text_color_pressed", 1, 1, 1, 1);
SetProperty ("button.text", " ");
