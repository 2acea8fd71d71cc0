-- A small stand-in for the game: the functions the add-on calls, a clock that moves only when told,
-- and the top pixel row of the screen as the application captures it. The add-on's files are loaded
-- in the order of its .toc, as the game does.
local here = debug.getinfo(1, "S").source:match("^@(.*)/[^/]*$") or "."
local Game = { ADDON_DIR = here .. "/../KESHVistrelxmit", GOLDEN_DIR = here .. "/../../tests/golden" }
Game.__index = Game

local Region = {}
Region.__index = Region
local function setter(...)
    local keys = { ... }
    return function(self, ...)
        for i, key in ipairs(keys) do self[key] = select(i, ...) end
    end
end
Region.SetSize, Region.SetScale = setter("width", "height"), setter("scale")
Region.SetFrameStrata, Region.SetFrameLevel, Region.Show = setter("strata"), setter("level"), setter()
Region.SetColorTexture, Region.ClearAllPoints = function(self, ...) self.colour = { ... } end, setter("anchor")
function Region:SetPoint(point, to, toPoint, x, y)
    assert(point == "TOPLEFT" and toPoint == "TOPLEFT", "only top-left anchors are emulated")
    self.anchor = { to = to, x = x, y = y }
end
function Region:GetParent() return self.parent end
function Region:GetEffectiveScale() return self.scale * (self.parent and self.parent:GetEffectiveScale() or 1) end
function Region:RegisterEvent(event) self.events[event] = true end
function Region:SetScript(name, fn) self.scripts[name] = fn end
function Region:CreateTexture()
    local texture = setmetatable({ parent = self, scale = 1 }, Region)
    table.insert(self.textures, texture)
    return texture
end
-- Pixels per unit, and the left and top edges in pixels (offsets are in the region's own units).
function Region:pixels(game)
    local unit = self:GetEffectiveScale() * game.height / 768
    if self == game.world then return unit, 0, 0 end
    local _, left, top = self.anchor.to:pixels(game)
    return unit, left + self.anchor.x * unit, top - self.anchor.y * unit
end

local function newFrame(parent, scale)
    return setmetatable({ parent = parent, scale = scale or 1, events = {}, scripts = {}, textures = {} }, Region)
end

-- options: width, height (physical pixels), worldScale, classic; the player's realm is "Aerie Peak".
function Game.new(options)
    options = options or {}
    local game = setmetatable({ width = options.width or 1920, height = options.height or 1080, frames = {},
        chat = {}, time = 0, nextSample = 0.013 }, Game)
    game.world = newFrame(nil, options.worldScale)
    _G.WorldFrame, _G.UIParent = game.world, newFrame(nil, 0.64)
    _G.CreateFrame = function(_, _, parent)
        table.insert(game.frames, newFrame(parent))
        return game.frames[#game.frames]
    end
    _G.GetPhysicalScreenSize = function() return game.width, game.height end
    _G.UnitExists = function() return game.target ~= nil end
    _G.UnitName = function() return game.target.name, game.target.realm end
    _G.UnitIsPlayer = function() return game.target.guid:find("^Player") ~= nil end
    _G.UnitGUID = function() return game.target.guid end
    _G.GetRealmName, _G.GetNormalizedRealmName = function() return "Aerie Peak" end, function() return "AeriePeak" end
    _G.WOW_PROJECT_MAINLINE, _G.WOW_PROJECT_ID = 1, options.classic and 2 or 1
    _G.UNKNOWNOBJECT, _G.SlashCmdList = "Unknown", {}
    _G.DEFAULT_CHAT_FRAME = { AddMessage = function(_, text) table.insert(game.chat, text) end }
    game.ns = {}
    for file in io.open(Game.ADDON_DIR .. "/KESHVistrelxmit.toc"):read("*a"):gmatch("([%w_]+%.lua)") do
        assert(loadfile(Game.ADDON_DIR .. "/" .. file))("KESHVistrelxmit", game.ns)
    end
    return game
end

function Game:fire(event, ...)
    self.cellsAt = nil
    for _, frame in ipairs(self.frames) do
        if frame.events[event] then frame.scripts.OnEvent(frame, event, ...) end
    end
end

function Game:setTarget(name, realm, guid)
    self.target = { name = name, realm = realm, guid = guid }
    self:fire("PLAYER_TARGET_CHANGED")
end

function Game:slash(text)
    self.cellsAt = nil
    for key, fn in pairs(SlashCmdList) do
        if _G["SLASH_" .. key .. "1"]:lower() == text:lower() then return fn("") end
    end
    error("no slash command " .. text)
end

-- Each cell as drawn: left, top and width in pixels, and its colour code by the application's lit rule.
function Game:cells()
    local cells = {}
    for _, frame in ipairs(self.frames) do
        for _, texture in ipairs(frame.textures) do
            local unit, left, top = texture:pixels(self)
            local lit = {}
            for i = 1, 3 do lit[i] = texture.colour[i] >= 14 / 256 and 1 or 0 end
            local code = ({ [0] = 0, 3, 2, 5, 1, 6, 4, 7 })[lit[1] * 4 + lit[2] * 2 + lit[3]]
            table.insert(cells, { left = left, top = top, width = texture.width * unit, code = code })
        end
    end
    return cells
end

-- Colour code of pixel x (from 0) of the top row; the scene around the strip is white. The strip
-- changes only in game frames and events, so its cells are worked out once per game frame.
function Game:pixel(x)
    if self.cellsAt ~= self.time then
        self.cached, self.cellsAt = self:cells(), self.time
    end
    for _, cell in ipairs(self.cached) do
        if cell.top <= 0 and x + 0.5 >= cell.left and x + 0.5 < cell.left + cell.width then return cell.code end
    end
    return 7
end

-- Runs the game for some seconds in game frames of the given lengths, in turn, and calls sample
-- every period seconds of game time, as the application's reader does.
function Game:run(seconds, steps, sample, period)
    local stop, i = self.time + seconds, 0
    while self.time < stop do
        i = i % #steps + 1
        while sample and self.nextSample < self.time + steps[i] do
            sample(self)
            self.nextSample = self.nextSample + (period or 0.05)
        end
        self.time = self.time + steps[i]
        for _, frame in ipairs(self.frames) do
            if frame.scripts.OnUpdate then frame.scripts.OnUpdate(frame, steps[i]) end
        end
    end
end

-- The golden frames: message text -> its 12-character frame lines, and the texts in file order.
function Game.goldenFrames()
    local blocks, order, current = {}, {}, nil
    for line in io.lines(Game.GOLDEN_DIR .. "/strip-frames.txt") do
        local text = line:match("^message (.*)$")
        if text then
            current = {}
            blocks[text] = current
            table.insert(order, text)
        elseif line:match("^[01]+ ") then
            table.insert(current, line:sub(1, 12))
        end
    end
    return blocks, order
end

return Game
