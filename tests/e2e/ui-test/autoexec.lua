-- ui/autoexec.lua (the screens' end-to-end run): the bundled start-up
-- script, then the screens that the run needs and the program does not
-- make yet.
LuaInclude ("ui/bundled/autoexec.lua");

-- The game's screen, until the game lands. Once the program makes its
-- own "GameDeziDedi", this one is refused ("already exists") and the run
-- meets the real one.
CreateScreen ("GameDeziDedi", "ui/test-game.lua");
for i = 1, 24 do
	CreateScreen ("Slow" .. i, "ui/test-slow.lua");
end
