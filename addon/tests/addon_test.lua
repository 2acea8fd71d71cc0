local here = debug.getinfo(1, "S").source:match("^@(.*)/[^/]*$") or "."
package.path = here .. "/?.lua;" .. package.path
local Game = require("game")

local THRALL, JAINA = { "Thrall", nil, "Player-1084-0A1B2C3D" }, { "Jaina", "Kel'Thuzad", "Player-3675-0B2C3D4E" }
local HOGGER = { "Hogger", nil, "Creature-0-4372-0-13-448-00002D3A1F" }
local COW = { "Cow", nil, "Creature-0-1465-0-2105-2442-000050F1A4" }
local BLACK = ("0"):rep(12)

-- The colour code of each cell of a picture at 1x, from the middle of each 4-pixel cell.
local function cells(picture) return (picture:sub(3):gsub("(.)...", "%1"):sub(1, 12)) end

describe("the add-on in the game, read by the application's calibration and decoder", function()
    it("delivers the latest target whole at 1x, 1.5x and 2x, frame by frame as the golden data", function()
        for _, case in ipairs({
            { scale = 1, steps = { 1 / 144 }, hold = 0.15, gap = 0.5 },
            { scale = 1, width = 3840, height = 2160, hold = 0.3, gap = 1, world = function(world) world:Hide() end },
            { scale = 1.5, width = 1280, height = 720,
                world = function(world) world.scale, world.anchor = 0.7, { x = 120, y = -60 } end },
            { scale = 2, width = 1280, height = 720, steps = { 1 / 144 } },
        }) do
            local game, read = Game.play(case, function(game)
                if case.hold == 0.3 then -- kept across a /reload
                    game:slash("/KeshVistrel hold 0.3")
                    game:slash("/keshvistrel gap 1")
                    game:cover("loading", 0.1, true)
                end
                if case.world then case.world(game.world) end
                game:setTarget(THRALL)
                game:run(4)
                for _, target in ipairs({ HOGGER, COW, JAINA }) do game:setTarget(target) end
                game:run(36)
            end)
            assert.are.same({ "Thrall-Aerie Peak", "Jaina-Kel'Thuzad" }, read.messages)
            assert.are.equal(math.floor((4 * case.scale - 1) / 2), read.offset)
            if case.hold then
                local golden, painted = Game.goldenFrames(), {}
                for i, change in ipairs(game.changes) do
                    local shown = cells(change.picture):gsub("7", "1")
                    local lasted = (game.changes[i + 1] or { at = math.huge }).at - change.at
                    assert.is_true(lasted >= (shown == BLACK and case.gap or case.hold) - 1e-9)
                    if shown ~= BLACK then table.insert(painted, shown) end
                end
                for _, line in ipairs(golden["Jaina-Kel'Thuzad"]) do table.insert(golden["Thrall-Aerie Peak"], line) end
                assert.are.same(golden["Thrall-Aerie Peak"], painted)
            end
        end
    end)

    it("sends nothing for a target whose identity is secret, without an error, and a name once it is known", function()
        for _, case in ipairs({ { secrets = "told" }, { only = "name" }, { only = "guid" }, { only = "player" },
            { classic = true } }) do
            local game, read = Game.play(case, function(game)
                game.restricted = true
                for _, target in ipairs(case.classic and {} or { THRALL, JAINA, HOGGER, COW }) do
                    game:setTarget(target)
                    game:fire("UNIT_NAME_UPDATE", "target")
                    game:run(2)
                end
                game.restricted = false
                game:setTarget({ "Unknown", nil, JAINA[3] })
                game:run(2)
                game.target.name, game.target.realm = JAINA[1], JAINA[2]
                game:fire("UNIT_NAME_UPDATE", "target")
                game:fire("UNIT_NAME_UPDATE", "target")
                game:run(12)
                game:setTarget(HOGGER)
                game:run(8)
            end)
            assert.are.same(case.classic and { "Jaina-Kel'Thuzad", "C448" } or { "Jaina-Kel'Thuzad", "N448" }, read.messages)
            assert.are.equal(case.classic and 0 or 1, select(2, table.concat(game.chat, "\n"):gsub("secret", "")))
        end
    end)

    it("sends a message cut short by whatever hides the strip or shows the calibration pattern again whole", function()
        for _, cut in ipairs({
            function(game) game:cover("loading", 2) end,
            function(game) game:cover("loading", 0.1, true) end, -- /reload
            function(game) game:cover("cinematic", 1) end,
            function(game) game:cover("movie", 0) end, -- skipped at once
            function(game) game:slash("/KeshVistrelCal") game:run(4) game:slash("/KeshVistrelCal") end,
            function(game) game:slash("/KeshVistrelCal") game:run(90.5) end, -- the pattern ends by itself
            function(game) game:run(3.2, 3.2) end, -- the game stalls
        }) do
            for _, into in ipairs({ 0.2, 2.1, 4.7 }) do
                local _, read = Game.play({}, function(game)
                    game:setTarget(THRALL)
                    game:run(3.5 + into)
                    cut(game)
                    game:run(12)
                end)
                assert.are.same({ "Thrall-Aerie Peak" }, read.messages)
            end
        end
    end)
end)

describe("the add-on's parts", function()
    local ns = Game.new().ns

    it("encode every golden message as the golden data and list the same files for every client", function()
        for text, golden in pairs(Game.goldenFrames()) do
            local lines = {}
            for i, frame in ipairs(ns.Frames.forMessage(text)) do lines[i] = table.concat(frame.cells) end
            assert.are.same(golden, lines)
        end
        local files = {}
        for _, toc in ipairs({ "", "_Classic", "_Vanilla" }) do
            local text = io.open(Game.ADDON_DIR .. "/KESHVistrelxmit" .. toc .. ".toc"):read("*a")
            table.insert(files, (text:gsub("## Interface:[^\n]*", "")))
        end
        assert.are.same({ files[1], files[1] }, { files[2], files[3] })
    end)

    it("name creatures and vehicles by id, players with the realm's display name without hyphens", function()
        local own = { ownRealm = "Der Rat von Dalaran", ownNormalizedRealm = "DerRatvonDalaran", unknownName = "Unknown" }
        local function target(fields) return ns.Message.forTarget(setmetatable(fields, { __index = own })) end
        for guid, text in pairs({ ["Creature-0-3769-0-5-3100-0000123456"] = "N3100",
            ["Vehicle-0-3887-571-3217-28670-00005B2A01"] = "N28670", ["Pet-0-4379-0-5-165189-0100000001"] = false,
            ["GameObject-0-1-0-5-1617-00001"] = false, ["Creature-0-1-0-5-0-0001"] = false,
            ["Creature-0-3769-0-5-3100"] = false, ["Player-1084-0A1B2C3D"] = false }) do
            assert.are.equal(text or nil, target({ guid = guid }))
        end
        for _, case in ipairs({ { "Thrall-Der Rat von Dalaran", "Thrall" }, { "Ëlf-Kel'Thuzad", "Ëlf", "Kel'Thuzad" },
            { "Bobb-Der Rat von Dalaran", "Bobb", "DerRatvonDalaran" }, { "Zed-AzjolNerub", "Zed", "Azjol-Nerub" },
            { nil, "Unknown" }, { nil, "" } }) do
            assert.are.equal(case[1], target({ isPlayer = true, name = case[2], realm = case[3], guid = "Player-1084-0A1B2C3D" }))
        end
        local sender = { hold = 0.15, gap = 0.5 } -- and take no hold or gap the reader cannot follow
        for _, text in ipairs({ "hold 0.1", "hold 0.8", "gap 0.2", "hold fast", "speed 2" }) do
            ns.Settings.command(text, sender, {})
        end
        assert.are.same({ hold = 0.15, gap = 0.5 }, sender)
    end)
end)
