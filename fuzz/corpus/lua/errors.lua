print(loadfile('x.lua'))
pcall(dofile, 'x.lua')
setmetatable(_G, {__index = function(t, k) error('no ' .. k) end})
local co = coroutine.create(function() coroutine.yield(1) error('in co') end)
coroutine.resume(co) coroutine.resume(co)
while true do end
