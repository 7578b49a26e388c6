function OnClick (name)
	if name == "Resume" then PopScreen (); end
end
