-- ui/fw/leaderboards.lua
--
-- The local high scores of one category: its name between the arrows at
-- the top, the rows (rank, name, points) drawn by the screen in "Scores",
-- which hangs in the touch field "TF" so that a drag scrolls it, clipped
-- to the view "Scissor". "Download" asks for the table again. The test
-- button "Submit50" is the developer's: the events file hides it outside
-- developer mode.

UIEvents ("ui/fw/leaderboards-events.lua");

CreateComp ("Image", "Background");
SetProperty ("inherit", "Background");

CreateComp ("NinePatch", "Panel");
SetProperty ("inherit", "GlassPanel");
SetProperty ("ninepatch.client_size", 660, 460);

CreateComp ("Textbox", "CategoryTitle");
SetProperty ("inherit", "LightTitle");
SetProperty ("localize", 0);
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.42);
SetProperty ("scale", 1.0);
SetProperty ("textbox.text", " ");

CreateComp ("Button", "PrevCategory");
SetProperty ("inherit", "IconButton");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.44, -0.42);
SetProperty ("scale", 0.7);
SetProperty ("button.bm_icon", "ui/gfx/icon-page-prev.png");

CreateComp ("Button", "NextCategory");
SetProperty ("inherit", "IconButton");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.44, -0.42);
SetProperty ("scale", 0.7);
SetProperty ("button.bm_icon", "ui/gfx/icon-page-next.png");

CreateComp ("Ruler", "TitleRule");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.33);
SetProperty ("ruler.client_width", 240);
SetProperty ("ruler.client_height", 16);

-- The view: 580 x 300 under the title.
CreateComp ("Marker", "Scissor");
SetProperty ("position", 0.2207, 0.3);
SetProperty ("marker.area_width", 580);
SetProperty ("marker.area_height", 300);

CreateComp ("TouchField", "TF");
SetProperty ("position", 0.2207, 0.3);
SetProperty ("touchfield.area_width", 580);
SetProperty ("touchfield.area_height", 300);
SetProperty ("touchfield.content_width", 580);
SetProperty ("touchfield.content_height", 300);
SetProperty ("touchfield.axis_x_enabled", 0);
SetProperty ("touchfield.limit_type", "SMOOTH_DRAG");

CreateComp ("Marker", "Scores");
SetProperty ("parent", "TF");
SetProperty ("position", 0, 0);
SetProperty ("marker.area_width", 560);
SetProperty ("marker.area_height", 300);
SetProperty ("custom_draw", 1);

CreateComp ("Button", "Download");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.2, 0.42);
SetProperty ("button.text", "DOWNLOAD");

CreateComp ("Button", "Submit50");
SetProperty ("inherit", "SmallButton");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.2, 0.42);
SetProperty ("button.text", "SUBMIT_50");

CreateComp ("Button", "Back");
SetProperty ("inherit", "IconButton");
SetProperty ("position", 0.07, 0.89);
SetProperty ("button.bm_icon", "ui/gfx/icon-back.png");
