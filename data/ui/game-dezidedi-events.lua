-- ui/game-dezidedi-events.lua

-- "Pause" is the screen's own: it pauses a level, or ends a test play
-- from the world lab.

function OnKeyDown (key)
	if key == "ESCAPE" then PushScreen ("GamePopMenu", 0); end
end
