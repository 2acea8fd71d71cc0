local here = debug.getinfo(1, "S").source:match("^@(.*)/[^/]*$") or "."
package.path = here .. "/?.lua;" .. package.path
local Game = require("game")

local ns = Game.new().ns

describe("frames", function()
    it("encode every golden message exactly as the golden data", function()
        local golden, order = Game.goldenFrames()
        assert.is_true(#order >= 4)
        for _, text in ipairs(order) do
            local lines = {}
            for i, frame in ipairs(ns.Frames.forMessage(text)) do lines[i] = table.concat(frame.cells) end
            assert.are.same(golden[text], lines)
        end
    end)

    it("refuse texts the reader would drop, cut short or never collect", function()
        for _, text in ipairs({ "", "A", "Thr\7\8all-Draka", "Thrall-Dr\0aka", "Thrall-\255", "Thrall-\n" }) do
            assert.is_nil(ns.Frames.forMessage(text))
        end
    end)
end)

describe("messages", function()
    local function target(fields)
        fields.ownRealm, fields.ownNormalizedRealm = "Der Rat von Dalaran", "DerRatvonDalaran"
        fields.unknownName = "Unknown"
        return ns.Message.forTarget(fields)
    end

    it("carry the creature id of creatures and vehicles, and nothing for other units", function()
        local creature, vehicle = "Creature-0-3769-0-5-3100-0000123456", "Vehicle-0-3887-571-3217-28670-00005B2A01"
        assert.are.equal("N3100", target({ guid = creature }))
        assert.are.equal("C3100", target({ guid = creature, classic = true }))
        assert.are.equal("N28670", target({ guid = vehicle }))
        for _, guid in ipairs({ "Pet-0-4379-0-5-165189-0100000001", "GameObject-0-1-0-5-1617-00001", "Creature-0-1-0-5-0-0001",
            "Creature-0-3769-0-5-3100", "Player-1084-0A1B2C3D" }) do
            assert.is_nil(target({ guid = guid }))
        end
        assert.is_nil(target({}))
    end)

    it("name players with the realm's display name, without hyphens", function()
        local player = "Player-1084-0A1B2C3D"
        assert.are.equal("Thrall-Der Rat von Dalaran", target({ isPlayer = true, name = "Thrall", guid = player }))
        assert.are.equal("Thrall-Der Rat von Dalaran",
            target({ isPlayer = true, name = "Thrall", realm = "DerRatvonDalaran", guid = player }))
        assert.are.equal("Ëlf-KelThuzad", target({ isPlayer = true, name = "Ëlf", realm = "KelThuzad", guid = player }))
        assert.are.equal("Zed-AzjolNerub", target({ isPlayer = true, name = "Zed", realm = "Azjol-Nerub", guid = player }))
        assert.is_nil(target({ isPlayer = true, name = "Unknown", guid = player }))
        assert.is_nil(target({ isPlayer = true, name = "", guid = player }))
    end)
end)
