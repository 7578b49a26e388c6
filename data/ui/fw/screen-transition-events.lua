-- ui/fw/screen-transition-events.lua

-- The screen's own code prepares it: nothing to do once it is loaded.
function OnLoad ()
end

function OnDraw ()
	KD_SetBlend (0);
	KD_SetColor (0, 0, 0);
	KD_SetAlpha (GetActiveScreenTransPhase ());
	KD_DrawRect (GetScreenPosX (), GetScreenPosY (), GetScreenWidth (), GetScreenHeight ());
	KD_SetColor (1, 1, 1);
	KD_SetAlpha (1);
end
