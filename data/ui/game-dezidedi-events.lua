-- ui/game-dezidedi-events.lua

function OnClick (name)
	if name == "Pause" then PushScreen ("GamePopMenu", 0); end
end

function OnKeyDown (key)
	if key == "ESCAPE" then PushScreen ("GamePopMenu", 0); end
end
