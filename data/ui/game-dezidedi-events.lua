-- ui/game-dezidedi-events.lua

-- The screen's own code prepares it: nothing to do once it is loaded.
function OnLoad ()
end

-- "Pause" is the screen's own: it pauses a level, or ends a test play
-- from the world lab.

function OnKeyDown (key)
	if key == "ESCAPE" then PushScreen ("GamePopMenu", 0); end
end
