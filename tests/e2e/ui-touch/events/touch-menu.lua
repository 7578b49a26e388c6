-- What the scripts read, printed to the log on every key.
function OnKeyDown (key)
	Print (string.format ("KINDS %s field %g grid %d %d\n", key,
		GetProperty ("TouchField:touchfield.value_y"),
		GetProperty ("TouchGrid:touchgrid.selected_step_axis_x"),
		GetProperty ("TouchGrid:touchgrid.current_offset_x")))
end

function OnClick (name)
	Print ("KINDS click " .. name .. "\n")
end
