-- ui/game-dezidedi-events.lua

-- The screen's own code prepares it and answers its clicks (the pause
-- button, the talk panels): nothing to do once it is loaded, nor on a
-- click.
function OnLoad ()
end

function OnClick (name)
end

-- "Pause" is the screen's own: it pauses a level, or ends a test play
-- from the world lab.

function OnKeyDown (key)
	if key == "ESCAPE" then PushScreen ("GamePopMenu", 0); end
end
