-- ui/credits-events.lua
--
-- Rolls the credits by easing the touch field "Scroll" toward a point that
-- climbs slowly. A finger on the screen has the field to itself: the roll
-- waits, and goes on from wherever the finger left it. At the end the roll
-- rests a moment and slides back to the top.

LuaInclude ("ui/menu-common.lua");

-- The roll, in the field's units (pixels on a 1024 x 600 screen).
local speed = 30
local pos = 0
local wait = 0
local at_end = false
local held = false
local time = 0

-- The content is the emblem, the text under it and the tile under that:
-- the field's last position shows the end of the text with the tile
-- turning under it.
local function Measure()
    local s = (GetProperty ("Scroll:height") or 600) / 600
    if s <= 0 then s = 1 end
    local emblem = GetProperty ("Emblem:height") or 0
    local roll = GetProperty ("Roll:height") or 0
    -- The emblem's centre is at 0.2 of the view, the text 0.55 of the
    -- emblem's height below it.
    local text_end = 0.2 * 600 + (0.55 * emblem + roll) / s
    SetProperty ("Tile:position", 0.5, (text_end + 80) / 600);
    SetProperty ("Scroll:touchfield.content_height", text_end + 150);
end

-- Where the roll is; after a drag (pos nil) where the field came to rest.
local function Current()
    return pos or GetProperty ("Scroll:touchfield.value_y") or 0
end

local function Bottom()
    local _, bottom = GetProperty ("Scroll:touchfield.limits_y")
    return bottom or 0
end

function OnLoad()
    SetProperty ("/:covers_screen", true);
    SetProperty ("/:default_comp", "Back");
end

function OnEnter()
    Measure ();
    pos = 0
    wait = 1.5
    at_end = false
    held = false
    SetProperty ("Scroll:touchfield.value_y", 0);
end

function OnUpdate(dt)
    FadeWithTransition ();
    dt = dt or 0
    time = time + dt
    SetProperty ("Tile:angle", time * 0.8);
    -- A model is drawn without the screen's fade: it shows only while the
    -- screen is fully in.
    SetProperty ("Tile:visible", EasedPhase () >= 1);
    if held then
        return
    end
    if wait > 0 then
        wait = wait - dt
        return
    end
    if at_end then
        -- Back to the top, where the emblem waits a little before rolling.
        at_end = false
        pos = 0
        wait = 2.5
    else
        pos = math.min(Current() + speed * dt, Bottom())
        if pos >= Bottom() then
            at_end = true
            wait = 3
        end
    end
    SetProperty ("Scroll:touchfield.target_value_y", pos);
end

-- Only the first finger drags the field.
function OnMouseDown(x, y, button, id)
    if (id or 0) == 0 then
        held = true
    end
end

function OnMouseUp(x, y, button, id)
    if (id or 0) == 0 and held then
        held = false
        pos = nil
        at_end = false
        wait = 1.5
    end
end

-- The fader takes no touches (a finger on the screen drags the roll); the
-- automated player clicks it by name to leave.
function OnClick(name)
    if name == "Back" or name == "fader" then
        PopScreen ();
    end
end

-- The arrows scroll too; Escape leaves.
function OnKeyDown(key)
    if key == "UP" or key == "DOWN" then
        local step = key == "UP" and -120 or 120
        pos = math.max(0, math.min(Current() + step, Bottom()))
        at_end = false
        wait = 1.5
        SetProperty ("Scroll:touchfield.target_value_y", pos);
    else
        PopOnEscape (key);
    end
end
