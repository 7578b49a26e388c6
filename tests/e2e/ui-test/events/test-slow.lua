function OnLoad ()
	-- The work is done in the string library: a call may run only so many
	-- script instructions.
	local start = KD_GetTime ();
	while KD_GetTime () - start < 120 do local s = string.rep ("x", 262144) end
end

function OnClick (name)
end
