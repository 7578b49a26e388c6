-- The timeline's story screens (the story events of timeline.xml).
CreateScreen ("Story", "ui/story.lua");
CreateScreen ("StoryDialog", "ui/story-dialog.lua");
