-- The text sent for a target: "Name-Realm" for a player, a kind letter and the creature's id for an
-- NPC. The application tells them apart by digits (an NPC message has one, a character message none)
-- and splits a character message at its first two "-".
local _, ns = ...

local Message = {}
ns.Message = Message

-- The application takes "C" as an NPC of the classic edition and any other first character as an
-- ordinary one.
Message.CLASSIC_NPC_MARKER = "C"
Message.NPC_MARKER = "N"

-- Unit kinds whose GUID carries a creature id: "Creature-0-<server>-<instance>-<zone>-<id>-<spawn>".
local CREATURE_KINDS = { Creature = true, Vehicle = true }

function Message.npcIdFromGUID(guid)
    if type(guid) ~= "string" then
        return nil
    end
    local kind, id = guid:match("^(%a+)%-%d+%-%d+%-%d+%-%d+%-(%d+)%-%x+$")
    if not CREATURE_KINDS[kind] or id:match("^0*$") then
        return nil
    end
    return id
end

function Message.forNpc(npcId, classic)
    if not npcId then
        return nil
    end
    return (classic and Message.CLASSIC_NPC_MARKER or Message.NPC_MARKER) .. npcId
end

-- The realm as the application wants it: its display name with blanks (it turns "Aerie Peak" and
-- "AeriePeak" alike into the web form, but needs the blanks of "Der Rat von Dalaran"), and without
-- "-", which would end the realm early ("Azjol-Nerub" goes as "AzjolNerub", read back as
-- "Azjol-Nerub"). The game gives no realm for the player's own realm and a realm without blanks for
-- other realms; the own realm's display name is used whenever it is the same realm.
function Message.realmText(realm, ownRealm, ownNormalizedRealm)
    local text = realm
    if text == nil or text == "" or text == ownNormalizedRealm or text == ownRealm then
        text = ownRealm
    end
    text = (text or ""):gsub("%-", "")
    return text
end

function Message.forCharacter(name, realm, ownRealm, ownNormalizedRealm, unknownName)
    if type(name) ~= "string" or name == "" or name == unknownName then
        return nil
    end
    local realmText = Message.realmText(realm, ownRealm, ownNormalizedRealm)
    if realmText == "" then
        return nil
    end
    return name .. "-" .. realmText
end

-- target: isPlayer, name, realm, guid, ownRealm, ownNormalizedRealm, classic, unknownName (the name
-- the game shows while a unit is not loaded yet). Returns the text to send, or nil for nothing.
function Message.forTarget(target)
    local text
    if target.isPlayer then
        text = Message.forCharacter(target.name, target.realm, target.ownRealm, target.ownNormalizedRealm,
            target.unknownName)
    else
        text = Message.forNpc(Message.npcIdFromGUID(target.guid), target.classic)
    end
    if text and not ns.Frames.isSendable(text) then
        return nil
    end
    return text
end
