-- ui/autoexec.lua
--
-- Run once at start-up, after the templates: creates every screen that
-- the program pushes, pops or messages by name and whose content is a
-- layout file. Each screen is preloaded behind the loading screen.

CreateScreen ("MainMenu", "ui/main-menu.lua");
CreateScreen ("LevelSelect", "ui/level-select.lua");
CreateScreen ("Extras", "ui/extras.lua");
CreateScreen ("Options", "ui/options.lua");
CreateScreen ("Profiles", "ui/profiles.lua");
CreateScreen ("NewProfile", "ui/new-profile.lua");
CreateScreen ("Credits", "ui/credits.lua");
CreateScreen ("Help", "ui/help.lua");
CreateScreen ("GamePopMenu", "ui/game-pop-menu.lua");
CreateScreen ("PopupOk", "ui/popup-ok.lua");

-- The player services' screens: the shop, the store's progress, its
-- outcome, and the achievements list.
CreateScreen ("Unlocks", "ui/unlocks.lua");
CreateScreen ("PurchaseInProgress", "ui/purchase-in-progress.lua");
CreateScreen ("IAPPopup", "ui/iap-popup.lua");
CreateScreen ("Achievements", "ui/achievements.lua");

-- The timeline's story screens (the story events of timeline.xml).
CreateScreen ("Story", "ui/story.lua");
CreateScreen ("StoryDialog", "ui/story-dialog.lua");

-- The level's results, pushed by the game over the level.
CreateScreen ("GameLevelCompleted", "ui/game-level-completed.lua");
CreateScreen ("GameLevelFailed", "ui/game-level-failed.lua");
