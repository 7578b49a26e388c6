-- What the scripts read: printed to the log on every key, and once the
-- values have come to rest after a change ("KINDS still ..."), the line a
-- run waits for before it reads a value that takes time to settle.
local last, still = nil, -1

local function Values ()
	return string.format ("field %g grid %d %d",
		GetProperty ("TouchField:touchfield.value_y"),
		GetProperty ("TouchGrid:touchgrid.selected_step_axis_x"),
		GetProperty ("TouchGrid:touchgrid.current_offset_x"))
end

function OnKeyDown (key)
	Print ("KINDS " .. key .. " " .. Values () .. "\n")
end

-- At rest: three frames in which time passed without a change. The
-- values the screen starts with are no change.
function OnUpdate (dt)
	local now = Values ()
	if now ~= last then
		if last then still = 0 end
		last = now
	elseif still >= 0 and (dt or 0) > 0 then
		still = still + 1
		if still == 3 then
			Print ("KINDS still " .. now .. "\n")
			still = -1
		end
	end
end

function OnClick (name)
	Print ("KINDS click " .. name .. "\n")
end
