function OnClick (name)
	if name == "Options" then PushScreen ("Options", 0); end
	if name == "Play" then PushScreen ("GameDeziDedi", 0); end
end
