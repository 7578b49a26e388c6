-- ui/autoexec.lua (the end-to-end test's own)

CreateScreen ("MainMenu", "ui/test-menu.lua");
CreateScreen ("Options", "ui/test-options.lua");
CreateScreen ("GameDeziDedi", "ui/test-game.lua");
CreateScreen ("GamePopMenu", "ui/test-pause.lua");
for i = 1, 24 do
	CreateScreen ("Slow" .. i, "ui/test-slow.lua");
end
