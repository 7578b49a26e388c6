-- Run after the bundled ui/autoexec.lua: the screens that the end-to-end
-- run needs and the program does not make yet.

for i = 1, 24 do
	CreateScreen ("Slow" .. i, "ui/test-slow.lua");
end
