-- ui/menu-common.lua
--
-- Helpers shared by the menus' event scripts; each script includes this
-- file into its own state with LuaInclude.

-- Calls the global function `name` with the given arguments when the
-- program has it and answers what it answers. A part of the game that is
-- not there yet (the timeline, the level functions) is one line for the
-- developer and, for the player, a message to close instead of a button
-- that does nothing.
function CallOrTell(name, ...)
    local f = rawget(_G, name)
    if type(f) == "function" then
        return f(...)
    end
    KD_Popup ("'" .. name .. "' is not available yet.");
    SendScreenMessage ("PopupOk", "text", "NOT_AVAILABLE");
    PushScreen ("PopupOk", 0);
    return nil
end

-- The same without the message, for what is optional.
function CallIfPresent(name, ...)
    local f = rawget(_G, name)
    if type(f) == "function" then
        return f(...)
    end
    return nil
end

-- What a save the player asked for answered; when nothing was written, the
-- player is told over the screen (`text`: the message, by default that
-- the changes were not saved), as a won level whose record was not saved.
function SavedOrTell(saved, text)
    if not saved then
        SendScreenMessage ("PopupOk", "text", text or "CHANGES_NOT_SAVED");
        PushScreen ("PopupOk", 0);
    end
    return saved
end

-- Saves what the player chose and closes this screen; when nothing was
-- written, the player is told over the screen below.
function SaveAndClose()
    local saved = SaveProfiles ()
    PopScreen ();
    return SavedOrTell (saved)
end

-- The transition phase of this script's screen eased at both ends:
-- 0 off, 1 fully in.
function EasedPhase()
    local t = GetActiveScreenTransPhase()
    if type(t) ~= "number" then
        return 1
    end
    if t < 0 then t = 0 elseif t > 1 then t = 1 end
    return t * t * (3 - 2 * t)
end

-- Fades the screen's components in and out with its transition, each
-- from the alpha its layout gave it. Only components without a parent are
-- set: a child's alpha is multiplied by its parent's anyway.
local layout_alpha = {}
local faded_to = -1
function FadeWithTransition()
    local e = EasedPhase()
    if e == faded_to then
        return
    end
    faded_to = e
    for _, name in ipairs({GetComps()}) do
        if (GetProperty(name .. ":parent") or "") == "" then
            local a = layout_alpha[name]
            if a == nil then
                a = GetProperty(name .. ":alpha") or 1
                layout_alpha[name] = a
            end
            SetProperty(name .. ":alpha", a * e)
        end
    end
end

-- ESCAPE leaves a screen as its back button does:
-- OnKeyDown = PopOnEscape.
function PopOnEscape(key)
    if key == "ESCAPE" then
        PopScreen ();
    end
end

-- A dialog, whose sheet is the component "Panel": everything fades with
-- the transition and the sheet (with the components on it) grows from
-- 90 %. OnUpdate = PopInPanel.
function PopInPanel()
    FadeWithTransition ();
    SetProperty ("Panel:scale", 0.9 + 0.1 * EasedPhase());
end

-- Sound on or off: off silences effects and music together and keeps the
-- volumes the player had, for switching back on.
function IsAudioMuted()
    return (GetSoundVolume() or 1) <= 0 and (GetMusicVolume() or 1) <= 0
end

function ToggleAudio()
    if IsAudioMuted() then
        SetSoundVolume(tonumber(GetGlobalValue("VOLUME_SOUND_UNMUTED") or "") or 1)
        SetMusicVolume(tonumber(GetGlobalValue("VOLUME_MUSIC_UNMUTED") or "") or 1)
    else
        SetGlobalValue("VOLUME_SOUND_UNMUTED", tostring(GetSoundVolume()))
        SetGlobalValue("VOLUME_MUSIC_UNMUTED", tostring(GetMusicVolume()))
        SetSoundVolume(0)
        SetMusicVolume(0)
    end
    SavedOrTell(SaveProfiles())
end

-- The sign of a sound toggle button after the current volumes.
function ShowAudioToggle(button)
    local icon = IsAudioMuted() and "ui/gfx/icon-sound-off.png" or "ui/gfx/icon-sound-on.png"
    SetProperty(button .. ":button.bm_icon", icon)
end
