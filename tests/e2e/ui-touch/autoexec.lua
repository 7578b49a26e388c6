-- ui/autoexec.lua (the touch run's own)

CreateScreen ("MainMenu", "ui/touch-menu.lua");
