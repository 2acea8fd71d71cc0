-- Binds the add-on to the game: target changes become messages, every game frame moves the strip on,
-- the strip goes black while the game shows something else over it, "/KeshVistrelCal" turns the
-- calibration pattern on and off and "/KeshVistrel" changes the timing.
local addonName, ns = ...

local SECRET_TARGET = "KESHVistrelxmit: the game keeps this target's name secret here, so it is not "
    .. "sent to Kesh Vistrel."

local function say(text)
    DEFAULT_CHAT_FRAME:AddMessage(text)
end

-- Since the 12.0 client, identity reads can return secret values (in instances, some PvP); comparing,
-- matching or joining one raises a Lua error, so each is checked before anything else touches it.
local function isSecret(value)
    return issecretvalue ~= nil and issecretvalue(value) == true
end

local function isClassicClient()
    return WOW_PROJECT_ID ~= nil and WOW_PROJECT_MAINLINE ~= nil and WOW_PROJECT_ID ~= WOW_PROJECT_MAINLINE
end

-- The target as Message wants it, or nil for none; true as the second result when its identity is
-- secret.
local function readTarget()
    if C_Secrets and C_Secrets.ShouldUnitIdentityBeSecret then
        local secret = C_Secrets.ShouldUnitIdentityBeSecret("target")
        if isSecret(secret) or secret == true then
            return nil, true
        end
    end
    local exists = UnitExists("target")
    if isSecret(exists) then
        return nil, true
    end
    if not exists then
        return nil
    end
    local name, realm = UnitName("target")
    local isPlayer, guid = UnitIsPlayer("target"), UnitGUID("target")
    if isSecret(name) or isSecret(realm) or isSecret(isPlayer) or isSecret(guid) then
        return nil, true
    end
    return {
        isPlayer = isPlayer,
        name = name,
        realm = realm,
        guid = guid,
        ownRealm = GetRealmName(),
        ownNormalizedRealm = GetNormalizedRealmName and GetNormalizedRealmName() or nil,
        classic = isClassicClient(),
        unknownName = UNKNOWNOBJECT,
    }
end

local strip = ns.Strip.create()
local transmitter = ns.Transmitter.new(say)
ns.strip, ns.transmitter = strip, transmitter

-- A player from another realm can be targeted before the game knows the name; it is sent when the
-- name arrives. That a target is secret is said once a session.
local waitingForName, toldSecret = false, false

local function sendTarget()
    local target, secret = readTarget()
    if secret then
        waitingForName = false
        if not toldSecret then
            say(SECRET_TARGET)
            toldSecret = true
        end
        return
    end
    local text = target and ns.Message.forTarget(target)
    waitingForName = text == nil and target ~= nil and target.isPlayer
    if text then
        transmitter:send(text)
    end
end

-- Why the strip cannot be seen now; it is hidden while there is any reason.
local hiddenBy = {}
local function hide(reason, hidden)
    hiddenBy[reason] = hidden or nil
    transmitter:setHidden(next(hiddenBy) ~= nil)
end

local handlers = {
    ADDON_LOADED = function(name)
        if name == addonName then
            KESHVistrelxmitSettings = KESHVistrelxmitSettings or {}
            ns.Settings.apply(transmitter.sender, KESHVistrelxmitSettings)
        end
    end,
    PLAYER_TARGET_CHANGED = sendTarget,
    UNIT_NAME_UPDATE = function(unit)
        if unit == "target" and waitingForName then
            sendTarget()
        end
    end,
    DISPLAY_SIZE_CHANGED = function()
        strip:layout()
    end,
    -- After a /reload the target is still there but no change of target comes.
    PLAYER_ENTERING_WORLD = function(isInitialLogin, isReloadingUi)
        strip:layout()
        if isInitialLogin or isReloadingUi then
            sendTarget()
        end
    end,
}
for reason, events in pairs({ loading = { "LOADING_SCREEN_ENABLED", "LOADING_SCREEN_DISABLED" },
    cinematic = { "CINEMATIC_START", "CINEMATIC_STOP" }, movie = { "PLAY_MOVIE", "STOP_MOVIE" } }) do
    handlers[events[1]] = function() hide(reason, true) end
    handlers[events[2]] = function() hide(reason, false) end
end

local frame = strip.frame
for event in pairs(handlers) do
    -- A client that lacks an event refuses to register it; the others still work.
    pcall(frame.RegisterEvent, frame, event)
end
frame:SetScript("OnEvent", function(_, event, ...)
    handlers[event](...)
end)
frame:SetScript("OnUpdate", function(_, elapsed)
    strip:paint(transmitter:update(elapsed))
end)
frame:SetScript("OnHide", function() hide("frame", true) end)
frame:SetScript("OnShow", function() hide("frame", false) end)

SLASH_KESHVISTRELCAL1 = "/KeshVistrelCal"
SlashCmdList["KESHVISTRELCAL"] = function()
    transmitter:toggleCalibration()
end

SLASH_KESHVISTREL1 = "/KeshVistrel"
SlashCmdList["KESHVISTREL"] = function(text)
    KESHVistrelxmitSettings = KESHVistrelxmitSettings or {}
    say(ns.Settings.command(text or "", transmitter.sender, KESHVistrelxmitSettings))
end
