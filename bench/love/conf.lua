-- Shared by the comparison programs: the game's window size, no vsync.
function love.conf(t)
    t.window.width = 1024
    t.window.height = 600
    t.window.vsync = 0
    t.window.title = "bench"
end
