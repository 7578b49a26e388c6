-- What bench_sprites draws, for bench_compare: N moving 12 px sprites of
-- one image each frame. Arguments: sprites, N, frames. Prints
-- "love N <n> fps <f>". The main loop is the stock one without its
-- 1 ms sleep per frame, so that it measures drawing, as the others do.
local n, frames, warm = 200, 600, 60
local sprites, image = {}, nil

function love.load(args)
    n = tonumber(args[2]) or n
    frames = tonumber(args[3]) or frames
    local data = love.image.newImageData(12, 12)
    data:mapPixel(function(x, y) return 1, 0.5 + x / 24, 0.25 + y / 16, 1 end)
    image = love.graphics.newImage(data)
    local random = love.math.newRandomGenerator(12345)
    for i = 1, n do
        sprites[i] = {x = random:random() * 1012, y = random:random() * 588,
                      vx = (random:random() - 0.5) * 4, vy = (random:random() - 0.5) * 4}
    end
end

local function update()
    for i = 1, n do
        local s = sprites[i]
        s.x, s.y = s.x + s.vx, s.y + s.vy
        if s.x < 0 or s.x > 1012 then s.vx = -s.vx end
        if s.y < 0 or s.y > 588 then s.vy = -s.vy end
    end
end

local function draw()
    love.graphics.clear(0.1, 0.1, 0.15)
    for i = 1, n do love.graphics.draw(image, sprites[i].x, sprites[i].y) end
end

function love.run()
    love.load(love.arg.parseGameArguments(arg))
    local frame, start = 0, 0
    return function()
        love.event.pump()
        for name in love.event.poll() do
            if name == "quit" then return 0 end
        end
        update()
        love.graphics.origin()
        draw()
        love.graphics.present()
        frame = frame + 1
        if frame == warm then start = love.timer.getTime() end
        if frame == warm + frames then
            print(string.format("love N %d fps %.1f", n, frames / (love.timer.getTime() - start)))
            io.stdout:flush()
            return 0
        end
    end
end
