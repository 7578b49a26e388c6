-- The start and quit of bench_compare: the stock main loop, which prints
-- "first frame presented" once its first frame is on the window, and
-- "quit requested" when it asks itself to quit, 1.5 s after its start.
local presented, quitting, started = false, false, 0

function love.draw()
    love.graphics.clear(0.2, 0.3, 0.4)
    love.graphics.rectangle("fill", 100, 100, 200, 100)
end

function love.run()
    if love.load then love.load(love.arg.parseGameArguments(arg), arg) end
    love.timer.step()
    return function()
        love.event.pump()
        for name, a in love.event.poll() do
            if name == "quit" then return a or 0 end
        end
        love.update(love.timer.step())
        love.graphics.origin()
        love.graphics.clear(love.graphics.getBackgroundColor())
        love.draw()
        love.graphics.present()
        if not presented then
            presented = true
            print("first frame presented")
            io.stdout:flush()
        end
        love.timer.sleep(0.001)
    end
end

function love.update()
    if not quitting and love.timer.getTime() - started >= 1.5 then
        quitting = true
        print("quit requested")
        io.stdout:flush()
        love.event.quit()
    end
end

function love.load()
    started = love.timer.getTime()
end
