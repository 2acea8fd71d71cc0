-- The timing the player can change with "/KeshVistrel hold SECONDS" and "/KeshVistrel gap SECONDS":
-- how long each frame stays on screen and how long the strip stays black between messages. The
-- game keeps the choice between sessions.
local _, ns = ...

local Settings = {}
ns.Settings = Settings

-- A shorter frame can fall between two samples of a late reader. Two frames of a byte longer than
-- 0.75 s, plus a stalled game frame, come close to the application's 3 s limit for an unfinished
-- message.
Settings.LIMITS = { hold = { 0.15, 0.75 }, gap = { 0.5, 10 } }
Settings.EXAMPLE = "Thrall-Aerie Peak"

local function within(key, value)
    local limits = Settings.LIMITS[key]
    return limits ~= nil and value ~= nil and value >= limits[1] and value <= limits[2]
end

-- Takes the saved values that are within their limits; sender: whose hold and gap they are.
function Settings.apply(sender, saved)
    for key in pairs(Settings.LIMITS) do
        if within(key, tonumber(saved[key])) then
            sender[key] = tonumber(saved[key])
        end
    end
end

-- The timing and what it gives: bytes a second and the seconds a typical name takes.
function Settings.describe(sender)
    local perByte = 2 * sender.hold
    return ("KESHVistrelxmit: each frame %.2f s, %.2f s black between messages: %.1f bytes a second, "
        .. "%.1f s for \"%s\". /KeshVistrel hold %.2f-%.2f or gap %.1f-%.0f changes them."):format(
        sender.hold, sender.gap, 1 / perByte, (#Settings.EXAMPLE + 2) * perByte, Settings.EXAMPLE,
        Settings.LIMITS.hold[1], Settings.LIMITS.hold[2], Settings.LIMITS.gap[1], Settings.LIMITS.gap[2])
end

-- text: what was typed after the command. Returns the answer for the chat window.
function Settings.command(text, sender, saved)
    local key, value = text:lower():match("^%s*(%a+)%s+(%S+)%s*$")
    value = tonumber(value)
    if within(key, value) then
        sender[key], saved[key] = value, value
    elseif text:match("%S") then
        return "KESHVistrelxmit: not changed. " .. Settings.describe(sender)
    end
    return Settings.describe(sender)
end
