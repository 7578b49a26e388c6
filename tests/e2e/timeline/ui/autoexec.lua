-- ui/autoexec.lua (the timeline's end-to-end runs)
--
-- The bundled story screens and a menu of the test's own. The menu makes
-- the level screen (for the stand-in game of worm_standin) once loading
-- is over, so that the timeline's loader thread is the one to preload it.

CreateScreen ("MainMenu", "ui/tl-menu.lua");
CreateScreen ("Story", "ui/story.lua");
CreateScreen ("StoryDialog", "ui/story-dialog.lua");
