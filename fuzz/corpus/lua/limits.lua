local t = setmetatable ({}, {__gc = function () error ("finalizer") end})
if newproxy then getmetatable (newproxy (true)).__gc = function () while true do end end end
collectgarbage ()
print (pcall (string.gsub, "key=value; other=thing", "(%w+)=(%w+)", "%2=%1"))
for k, v in string.gmatch ("a=1, b=2", "(%w+)=(%w+)") do print (k, v) end
print (string.match ("  trim me  ", "^%s*(.-)%s*$"), string.find ("a.b", ".", 1, true))
function OnUpdate (dt) while true do pcall (function () while true do end end) end end
function OnClick () return #string.rep ("", 1e12) end
print (pcall (string.find, string.rep ("a", 3000), ".-.-.-.-b"))
