function OnLoad ()
	local start = KD_GetTime ();
	while KD_GetTime () - start < 120 do end
end

function OnClick (name)
end
