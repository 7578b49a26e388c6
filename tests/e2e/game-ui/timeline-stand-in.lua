
-- The game's end-to-end runs: a stand-in for the timeline, appended to the
-- menus' helpers. The main menu's Play starts the first level the way the
-- timeline's level event does: the game's screen, then the level.
if rawget(_G, "BeginTimelineEvent") == nil then
	function BeginTimelineEvent(event)
		PushScreen ("GameDeziDedi", 0);
		InitGameLevel ("worlds/e01-l01.xml");
	end
end
