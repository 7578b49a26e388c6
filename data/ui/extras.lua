-- ui/extras.lua

UIEvents ("ui/extras-events.lua");

CreateComp ("Image", "Background");
SetProperty ("inherit", "Background");

CreateComp ("NinePatch", "Panel");
SetProperty ("inherit", "GlassPanel");
SetProperty ("ninepatch.client_size", 300, 500);

CreateComp ("Textbox", "Title");
SetProperty ("inherit", "LightTitle");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.416);
SetProperty ("textbox.text", "EXTRAS");

CreateComp ("Ruler", "TitleRule");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.369);
SetProperty ("ruler.client_width", 120);
SetProperty ("ruler.client_height", 16);

CreateComp ("Button", "Options");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.274);
SetProperty ("button.text", "OPTIONS");

CreateComp ("Button", "Profiles");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.139);
SetProperty ("button.text", "PLAYERS");

CreateComp ("Button", "Credits");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, -0.004);
SetProperty ("button.text", "CREDITS");

CreateComp ("Button", "Help");
SetProperty ("parent", "Panel");
SetProperty ("position", 0, 0.131);
SetProperty ("button.text", "HOW_TO_PLAY");

-- The achievements and the shop: round buttons side by side under the
-- planks, each named underneath.
CreateComp ("Button", "Achievements");
SetProperty ("inherit", "IconButton");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.201, 0.288);
SetProperty ("button.bm_icon", "ui/gfx/icon-trophy.png");

CreateComp ("Textbox", "AchievementsLabel");
SetProperty ("inherit", "LightTitle");
SetProperty ("parent", "Panel");
SetProperty ("position", -0.201, 0.395);
SetProperty ("scale", 0.8);
SetProperty ("textbox.text", "ACHIEVEMENTS");

CreateComp ("Button", "Unlocks");
SetProperty ("inherit", "IconButton");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.201, 0.288);
SetProperty ("button.bm_icon", "ui/gfx/icon-lock.png");

CreateComp ("Textbox", "UnlocksLabel");
SetProperty ("inherit", "LightTitle");
SetProperty ("parent", "Panel");
SetProperty ("position", 0.201, 0.395);
SetProperty ("scale", 0.8);
SetProperty ("textbox.text", "UNLOCKS");

CreateComp ("Button", "Back");
SetProperty ("inherit", "IconButton");
SetProperty ("position", 0.07, 0.89);
SetProperty ("button.bm_icon", "ui/gfx/icon-back.png");

-- The local high scores: a round button in the corner opposite Back.
CreateComp ("Button", "Leaderboards");
SetProperty ("inherit", "IconButton");
SetProperty ("position", 0.93, 0.89);
SetProperty ("button.bm_icon", "ui/gfx/icon-leaderboard.png");

CreateComp ("Textbox", "LeaderboardsLabel");
SetProperty ("inherit", "LightTitle");
SetProperty ("position", 0.93, 0.79);
SetProperty ("scale", 0.8);
SetProperty ("textbox.text", "LEADERBOARDS");
