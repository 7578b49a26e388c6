CreateComp ('Button', 'p0');
for i = 1, 200 do
  CreateComp ('Button', 'p' .. i);
  SetProperty ('parent', 'p' .. (i - 1));
end
SetProperty ('p0:parent', 'p200');
SetProperty ('p100:parent', 'p100');
while true do end
