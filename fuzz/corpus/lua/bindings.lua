KD_DrawRect(1, 2, 3, 4)
KD_SetColor(1, 0.5, 0)
KD_DrawBitmapAligned('bg.png', 10, 10, 'HCENTER|BOTTOM')
KD_PlaySound('click.wav', nil)
local t = GetFormattedTime(3723000, 'MM:SS')
local k = KD_GetKeyState('RETURN')
DM_GetValue('levels.xml', 0, 'E01_L01', 'time')
function OnClick(name) Print(name) return 1 end
