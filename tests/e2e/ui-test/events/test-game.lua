function OnClick (name)
end
