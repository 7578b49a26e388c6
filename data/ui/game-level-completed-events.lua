-- ui/game-level-completed-events.lua

LuaInclude ("ui/menu-common.lua");

-- This level's result, from the game's messages.
local stars = 0
local flawless = false
local all_eggs = false
local shown = 0      -- stars filled in so far
local timer = 0

function OnLoad()
    SetProperty ("/:default_comp", "Next");
end

-- Every level won counts for these; each is unlocked once.
local function UnlockAchievements(event)
    CallIfPresent ("AM_UnlockAchievement", "FIRST_LEVEL");
    if stars >= 3 then
        CallIfPresent ("AM_UnlockAchievement", "THREE_STARS");
        CallIfPresent ("AM_UnlockAchievement", "SPEEDY");
    end
    if flawless then
        CallIfPresent ("AM_UnlockAchievement", "FLAWLESS");
    end
    if all_eggs then
        CallIfPresent ("AM_UnlockAchievement", "ALL_EGGS");
    end
    local function amount(name)
        return tonumber(GetProfileValue ("GAME", name, "amount") or "") or 0
    end
    if amount ("fruits_collected") >= 100 then
        CallIfPresent ("AM_UnlockAchievement", "FRUIT_100");
    end
    if amount ("bugs_killed") >= 50 then
        CallIfPresent ("AM_UnlockAchievement", "BUGS_50");
    end
    -- The garden is done when each of its levels has been won.
    local garden = true
    for n = 1, 10 do
        if GetProfileValue ("LEVELS", string.format ("E01_L%02d", n), "completed") ~= "1" then
            garden = false
        end
    end
    if garden then
        CallIfPresent ("AM_UnlockAchievement", "EPISODE_1");
    end
end

function OnScreenMessage(message, value)
    if message == "FlawlessPlay" then
        flawless = value == "YES"
        SetProperty ("Flawless:visible", flawless and 1 or 0);
    elseif message == "AllEggs" then
        all_eggs = value == "YES"
    elseif message == "NextStar" then
        SetProperty ("NextStar:textbox.text", value or " ");
    elseif message == "StarsGained" then
        -- The last message: the result is whole.
        stars = tonumber (value) or 0
    end
end

-- The level's score in its episode's leaderboard: each star is worth
-- 5000 points, and every second under five minutes 10 more, so stars
-- come first and a faster win breaks a tie.
local function SubmitScore(event)
    local episode = tonumber (string.match (event, "^E(%d+)_L"))
    if not episode then
        return
    end
    local seconds = tonumber (GetProfileValue ("LEVELS", event, "last_time") or "") or 0
    local won = tonumber (GetProfileValue ("LEVELS", event, "last_stars") or "") or 0
    local points = 5000 * won + 10 * math.max (0, 300 - seconds)
    CallIfPresent ("LM_SubmitScore", "EPISODE_" .. episode, points, seconds * 1000);
end

function OnEnter()
    shown = 0
    timer = 0
    -- The level is behind the player: a restart goes on with the next.
    CallIfPresent ("SaveAtNextTimelineEvent");
    for i = 1, 3 do
        SetProperty ("Star" .. i .. ":image.bitmap", "ui/gfx/star-black.png");
    end
    -- The game saved the win's record, "completed" with it; the
    -- achievements and the score it earns are saved here.
    local event = CallIfPresent ("GetCurrentTimelineEvent")
    if event then
        UnlockAchievements (event);
        SubmitScore (event);
        SaveProfiles ();
    end
end

-- The stars come in one by one, each with a sound.
function OnUpdate(dt)
    PopInPanel ();
    timer = timer + (dt or 0)
    if shown < stars and timer > 0.35 + 0.3 * shown then
        shown = shown + 1
        SetProperty ("Star" .. shown .. ":image.bitmap", "ui/gfx/star.png");
        PlaySound ("sfx/worm-collecting-fruit");
    end
end

function OnClick(name)
    if name == "Next" then
        CallOrTell ("EndTimelineEvent");
    elseif name == "Replay" then
        -- This level again (the saved place is the next one).
        CallOrTell ("BeginTimelineEvent", CallIfPresent ("GetCurrentTimelineEvent"));
    elseif name == "Menu" then
        -- Play on the main menu goes on with the next level (saved on
        -- entering).
        SwitchScreen ("MainMenu");
    end
end

function OnKeyDown(key)
    if key == "RETURN" then
        CallOrTell ("EndTimelineEvent");
    end
end
