-- ui/autoexec.lua (the screens' end-to-end run): the bundled start-up
-- script, then the screens that the run needs and the program does not
-- make.
LuaInclude ("ui/bundled/autoexec.lua");

for i = 1, 24 do
	CreateScreen ("Slow" .. i, "ui/test-slow.lua");
end
