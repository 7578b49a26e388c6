for i = 1, 200 do
  for j = 1, 200 do CreateComp ("Button", "b" .. j) end
end
CreateComp ("Button", string.rep ("n", 200))
