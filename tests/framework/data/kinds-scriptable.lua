-- The all-kinds layout's scriptable component: a green square drawn by the
-- script itself, and a counter of its updates.
updates = 0

function OnUpdate (dt)
	updates = updates + 1
end

function OnDraw (x, y)
	KD_SetColor (0, 1, 0)
	KD_SetAlpha (1)
	KD_DrawRect (x, y, 60, 60)
end
