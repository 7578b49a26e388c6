-- ui/autoexec.lua (the timeline's end-to-end runs)
--
-- The bundled story screens, and the menu of the screens' test set
-- (ui-test/) with events of the timeline runs' own. The menu makes the
-- level screen (the screens' test set's game page, for the stand-in game
-- of worm_standin) once loading is over, so that the timeline's loader
-- thread is the one to preload it.

CreateScreen ("MainMenu", "ui/test-menu.lua");
CreateScreen ("Story", "ui/story.lua");
CreateScreen ("StoryDialog", "ui/story-dialog.lua");
