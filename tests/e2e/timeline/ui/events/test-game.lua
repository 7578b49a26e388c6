-- ui/events/test-game.lua (the timeline's runs): a level of the stand-in
-- game; RETURN ends the event.
--
-- In the kill test's timeline every third frame asks to end the event:
-- while a transition runs the end is refused, but each ask saves the
-- position, so the saves come one after another for the kills to cut
-- into. (A save zeroes the next frame's time step: asking every frame
-- would stop the clock and with it the transition.)
local auto = false
local frames = 0

-- Preloaded by the timeline's loader thread (the menu creates this screen
-- late): three seconds of work, so that the end-to-end run's shot lands
-- in the black middle of the transition. The work is done in the string
-- library, few script instructions each: a call may run only so many. The
-- kill test's runs go without it.
function OnLoad ()
	SetProperty ("/:covers_screen", true);
	if not EventExists ("K1") then
		local start = KD_GetTime ();
		while KD_GetTime () - start < 3000 do local s = string.rep ("x", 262144) end
	end
end

function OnEnter ()
	auto = EventExists ("K1");
end

function OnUpdate (dt)
	if not auto then return end
	frames = frames + 1;
	if frames % 3 == 0 then EndTimelineEvent (); end
end

function OnClick (name)
end

function OnKeyDown (key)
	if key == "RETURN" then EndTimelineEvent (); end
end
