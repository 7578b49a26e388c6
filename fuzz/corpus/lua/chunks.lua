local dump = string.dump (function () return "abc" end)
print (loadstring (dump))
local parts = {dump:sub (1, 1), dump:sub (2)}
print (load (function () return table.remove (parts, 1) end, "=pieces"))
print (loadstring ("return 1") ())
print (xpcall (function () while true do end end, function (m) while true do end end))
print (xpcall (error, function (m) return m end))
print (string.gsub (string.rep ("collect", 20), "collect", collectgarbage))
