function OnClick (name)
	if name == "Play" then
		PushScreen ("GameDeziDedi", 0);
		InitGameLevel ("worlds/e01-l01.xml");
	end
end
