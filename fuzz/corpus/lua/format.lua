local s = string.format('%5.2f %-10s %x %q %c %500d %.300s', 3.14, 'abc', 255, 'q"\n', 65, 7, string.rep('y', 400))
local n = #string.format('%s', string.rep('x', 1000))
function OnUpdate(dt) return dt * 2 end
