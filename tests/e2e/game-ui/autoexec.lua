-- ui/autoexec.lua (the game's end-to-end runs)

CreateScreen ("MainMenu", "ui/test-start.lua");
