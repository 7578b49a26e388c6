CreateComp ('Button', 'a');
LoadUI ('fuzz.lua');
LoadUI ('ui/fuzz.lua');
UIEvents ('ui/fuzz.lua');
CreateComp ('Button', 'b');
SetProperty ('parent', 'a');
