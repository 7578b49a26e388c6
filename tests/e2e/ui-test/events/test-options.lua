function OnClick (name)
	if name == "Back" then PopScreen (); end
end

function OnKeyDown (key)
	if key == "ESCAPE" then PopScreen (); end
end
