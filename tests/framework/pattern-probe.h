// Every pattern function on one text, pattern, start and replacement, run
// in a state and written down as one string: what the differential tests
// (test_luaman.cpp, fuzz/fuzz_patterns.cpp) compare between a state with
// the library's functions and one with ours.
#pragma once

#include <string>

#include <lua.hpp>

// Results as type:value, errors as false plus their message; tables and
// functions by type only (their addresses differ between states).
static const char kPatternProbe[] = R"(
local s, p, init, r, most = ...
local out = {}
local function put(ok, ...)
  out[#out + 1] = tostring(ok)
  for i = 1, select('#', ...) do
    local v = select(i, ...)
    local t = type(v)
    out[#out + 1] = (t == 'table' or t == 'function') and t or t .. ':' .. tostring(v)
  end
  out[#out + 1] = ';'
end
local function each(...)
  local got = {}
  for a, b in string.gmatch(...) do
    got[#got + 1] = tostring(a) .. ',' .. tostring(b)
    if #got == 40 then break end
  end
  return table.concat(got, '/')
end
put(pcall(function() return string.find(s, p, init) end))
put(pcall(function() return s:find(p, init, true) end))
put(pcall(function() return s:match(p, init) end))
put(pcall(each, s, p))
put(pcall(function() return string.gsub(s, p, r, most) end))
put(pcall(function() return s:gsub(p, {a = 'A', ['1'] = 7, b = false, c = {}}) end))
put(pcall(function() return string.gsub(s, p, function(a, b)
  if a == 'x' then return {} end
  if type(a) == 'number' then return a * 2 end
  if b then return b .. a end
end, most) end))
put(pcall(function() return string.gsub(s, p, true) end))
put(pcall(function() return s:find(p, {}) end))
return table.concat(out, ' ')
)";

// Defines the probe as the global `probe` in L.
inline bool LoadPatternProbe(lua_State* L) {
    if (luaL_loadbuffer(L, kPatternProbe, sizeof kPatternProbe - 1, "=probe") != 0) return false;
    lua_setglobal(L, "probe");
    return true;
}

// `most` < 0 leaves gsub's count out; `r` is the replacement string.
inline std::string RunPatternProbe(lua_State* L, const std::string& s, const std::string& p, lua_Integer init,
                                   const std::string& r, int most) {
    lua_getglobal(L, "probe");
    lua_pushlstring(L, s.data(), s.size());
    lua_pushlstring(L, p.data(), p.size());
    lua_pushinteger(L, init);
    lua_pushlstring(L, r.data(), r.size());
    if (most < 0)
        lua_pushnil(L);
    else
        lua_pushinteger(L, most);
    std::string out;
    if (lua_pcall(L, 5, 1, 0) != 0) out = "probe failed: ";
    size_t n;
    const char* text = lua_tolstring(L, -1, &n);
    if (text) out.append(text, n);
    lua_pop(L, 1);
    return out;
}
