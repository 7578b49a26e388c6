-- ui/iap-popup-events.lua

LuaInclude ("ui/menu-common.lua");

function OnLoad()
    SetProperty ("/:default_comp", "Ok");
end

function OnScreenMessage(message, value)
    if message == "Title" then
        SetProperty ("Title:textbox.text", value or "");
    elseif message == "Text" then
        SetProperty ("Text:textbox.text", value or "");
    end
end

OnUpdate = PopInPanel

function OnClick(name)
    if name == "Ok" then
        PopScreen ();
    end
end

function OnKeyDown(key)
    if key == "ESCAPE" or key == "RETURN" then
        PopScreen ();
    end
end
