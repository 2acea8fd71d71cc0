local here = debug.getinfo(1, "S").source:match("^@(.*)/[^/]*$") or "."
package.path = here .. "/?.lua;" .. package.path
local Game = require("game")
local Reader = require("reader")

-- Uneven game frames, with a long stall, so holds and catch-up are exercised.
local STEPS = { 0.016, 0.017, 0.033, 0.016, 0.25, 0.007, 0.021, 0.016, 0.017, 0.033, 0.009 }
local THRALL = "Player-1084-0A1B2C3D"

-- Runs the game, reading the strip as the application does (every 0.05 s at the calibrated
-- geometry of 8-pixel cells) and logging every change of the strip with its time.
local function watch(game, seconds, reader)
    local changes, ticks, paintedAt = {}, 0, nil
    reader = reader or Reader.new(3, 96)
    game:run(seconds, STEPS, function(g)
        ticks = ticks + 1
        if ticks % 50 == 0 then reader:sample(g) end
        if g.time == paintedAt then return end
        paintedAt = g.time
        local shown = {}
        for i = 0, 11 do shown[i + 1] = g:pixel(8 * i + 3) == 0 and "0" or "1" end
        shown = table.concat(shown)
        if shown ~= (changes[#changes] or {}).cells then table.insert(changes, { cells = shown, at = g.time }) end
    end, 0.001)
    return reader.messages, changes
end

describe("the add-on in the game", function()
    it("sends a targeted player of the own realm as Name-Realm, frame by frame as the golden data", function()
        local game = Game.new({ width = 2560, height = 1440 })
        game:setTarget("Thrall", nil, THRALL)
        local messages, changes = watch(game, 10)
        assert.are.same({ "Thrall-Aerie Peak" }, messages)
        local painted = {}
        for i, change in ipairs(changes) do
            if change.cells ~= "000000000000" then table.insert(painted, change.cells) end
            if i > 1 and changes[i + 1] then assert.is_true(changes[i + 1].at - change.at >= 0.1 - 1e-9) end
        end
        assert.are.same(Game.goldenFrames()["Thrall-Aerie Peak"], painted)
    end)

    it("replaces a message that has not started by a newer target, never the one on its way", function()
        local game = Game.new({ classic = true })
        local reader = Reader.new(3, 96)
        game:setTarget("Thrall", nil, THRALL)
        watch(game, 0.3, reader)
        game:setTarget("Hogger", nil, "Creature-0-4372-0-13-448-00002D3A1F")
        game:setTarget("Jaina", "KelThuzad", "Player-3675-0B2C3D4E")
        game:setTarget("Cow", nil, "Creature-0-1465-0-2105-2442-000050F1A4")
        local messages = watch(game, 16, reader)
        assert.are.same({ "Thrall-Aerie Peak", "C2442" }, messages)
    end)

    it("sends a player whose name was not known yet when the name arrives, and only then", function()
        local game = Game.new()
        game:setTarget("Unknown", nil, "Player-3675-0B2C3D4E")
        game.target.name, game.target.realm = "Jaina", "KelThuzad"
        local reader = Reader.new(3, 96)
        watch(game, 1, reader)
        assert.are.same({}, reader.messages)
        game:fire("UNIT_NAME_UPDATE", "target")
        watch(game, 1, reader)
        game:fire("UNIT_NAME_UPDATE", "target")
        assert.are.same({ "Jaina-KelThuzad" }, watch(game, 16, reader))
    end)

    it("keeps every cell on whole pixels, 8 wide, at the top-left after resolution and scale changes", function()
        local game = Game.new({ width = 3840, height = 2160, worldScale = 1.25 })
        local function check()
            for i, cell in ipairs(game:cells()) do
                assert.is_true(math.abs(cell.left - 8 * (i - 1)) < 1e-6 and math.abs(cell.width - 8) < 1e-6)
                assert.is_true(math.abs(cell.top) < 1e-6)
            end
        end
        check()
        game.width, game.height = 1366, 768
        game:fire("DISPLAY_SIZE_CHANGED")
        check()
        game.world.scale = 0.9
        game:fire("UI_SCALE_CHANGED")
        check()
        assert.are.equal("TOOLTIP", game.frames[1].strata)
        assert.are.equal(game.world, game.frames[1].parent)
    end)

    it("paints the calibration pattern for 90 seconds or until the command is typed again", function()
        local pattern = {}
        for line in io.lines(Game.GOLDEN_DIR .. "/calibration-pattern.txt") do
            local code = line:match("^%d+ (%d)")
            if code then table.insert(pattern, tonumber(code)) end
        end
        local game = Game.new()
        local function painted()
            local codes = {}
            for x = 0, 95 do codes[math.floor(x / 8) + 1] = codes[math.floor(x / 8) + 1] or game:pixel(x) end
            return codes
        end
        game:slash("/keshvistrelcal")
        game:run(0.05, STEPS)
        assert.are.same(pattern, painted())
        game:run(89.5, STEPS)
        assert.are.same(pattern, painted())
        game:run(1, STEPS)
        assert.are.same({ 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 }, painted())
        game:slash("/KeshVistrelCal")
        game:run(1, STEPS)
        game:slash("/KeshVistrelCal")
        game:run(1, STEPS)
        assert.are.same({ 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 }, painted())
        local T = game.ns.Transmitter
        assert.are.same({ T.CALIBRATION_STARTED, T.CALIBRATION_FINISHED, T.CALIBRATION_STARTED,
            T.CALIBRATION_STOPPED }, game.chat)
    end)

    it("lets a message on its way arrive whole when calibration interrupts it", function()
        for before = 0.3, 0.7, 0.045 do
            local game = Game.new()
            local reader = Reader.new(3, 96)
            game:setTarget("Thrall", nil, THRALL)
            game:run(before, STEPS, function(g) reader:sample(g) end)
            game:slash("/KeshVistrelCal")
            game:run(100, STEPS, function(g) reader:sample(g) end)
            assert.are.same({ "Thrall-Aerie Peak" }, reader.messages)
        end
    end)
end)
