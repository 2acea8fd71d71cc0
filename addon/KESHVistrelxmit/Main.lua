-- Binds the add-on to the game: target changes become messages, every game frame moves the strip on,
-- and "/KeshVistrelCal" turns the calibration pattern on and off.
local _, ns = ...

local function isClassicClient()
    return WOW_PROJECT_ID ~= nil and WOW_PROJECT_MAINLINE ~= nil and WOW_PROJECT_ID ~= WOW_PROJECT_MAINLINE
end

local function readTarget()
    if not UnitExists("target") then
        return nil
    end
    local name, realm = UnitName("target")
    return {
        isPlayer = UnitIsPlayer("target"),
        name = name,
        realm = realm,
        guid = UnitGUID("target"),
        ownRealm = GetRealmName(),
        ownNormalizedRealm = GetNormalizedRealmName and GetNormalizedRealmName() or nil,
        classic = isClassicClient(),
        unknownName = UNKNOWNOBJECT,
    }
end

local strip = ns.Strip.create()
local transmitter = ns.Transmitter.new(function(text)
    DEFAULT_CHAT_FRAME:AddMessage(text)
end)
ns.strip, ns.transmitter = strip, transmitter

-- A player from another realm can be targeted before the game knows the name; it is sent when the
-- name arrives.
local waitingForName = false

local function sendTarget()
    local target = readTarget()
    local text = target and ns.Message.forTarget(target)
    waitingForName = text == nil and target ~= nil and target.isPlayer
    if text then
        transmitter:send(text)
    end
end

local handlers = {
    PLAYER_TARGET_CHANGED = sendTarget,
    UNIT_NAME_UPDATE = function(unit)
        if unit == "target" and waitingForName then
            sendTarget()
        end
    end,
    DISPLAY_SIZE_CHANGED = function()
        strip:layout()
    end,
}
handlers.UI_SCALE_CHANGED = handlers.DISPLAY_SIZE_CHANGED
handlers.PLAYER_ENTERING_WORLD = handlers.DISPLAY_SIZE_CHANGED

local frame = strip.frame
for event in pairs(handlers) do
    frame:RegisterEvent(event)
end
frame:SetScript("OnEvent", function(_, event, ...)
    handlers[event](...)
end)
frame:SetScript("OnUpdate", function(_, elapsed)
    strip:paint(transmitter:update(elapsed))
end)

SLASH_KESHVISTRELCAL1 = "/KeshVistrelCal"
SlashCmdList["KESHVISTRELCAL"] = function()
    transmitter:toggleCalibration()
end
