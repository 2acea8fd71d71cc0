-- A stand-in for the game: the functions the add-on calls, a clock that moves only when told, and the screen's
-- top as an often late reader captures it, read by the application's calibration and decoder (StripReader.cpp).
local here = debug.getinfo(1, "S").source:match("^@(.*)/[^/]*$") or "."
local Game = { ADDON_DIR = here .. "/../KESHVistrelxmit", GOLDEN_DIR = here .. "/../../tests/golden" }
Game.__index = Game

-- Uneven game frames, with a long one, so holds and catch-up are exercised.
Game.STEPS = { 0.016, 0.017, 0.033, 0.016, 0.25, 0.007, 0.021, 0.016, 0.017, 0.033, 0.009 }
local COLUMNS, ROWS, STRATA, CODES = 200, 9, { TOOLTIP = 8 }, { [0] = 0, 3, 2, 5, 1, 6, 4, 7 }
local COVERS = { loading = { "LOADING_SCREEN_ENABLED", "LOADING_SCREEN_DISABLED" },
    cinematic = { "CINEMATIC_START", "CINEMATIC_STOP" }, movie = { "PLAY_MOVIE", "STOP_MOVIE" } }

-- A secret value: anything but passing it on or asking issecretvalue raises an error, as in the game.
local SECRET = newproxy(true)
for _, event in ipairs({ "__index", "__newindex", "__eq", "__lt", "__le", "__concat", "__len", "__call", "__tostring" }) do
    getmetatable(SECRET)[event] = function() error("attempt to use a secret value", 2) end
end
local function isSecret(value) return type(value) == "userdata" and getmetatable(value) == getmetatable(SECRET) end

-- Frames and textures. Any "SetX" call the add-on makes stores its first argument as x.
local Region = {}
local function setter(self, key) return function(_, value) self[key:sub(4):lower()], self.game.dirty = value, true end end
local RegionMeta = { __index = function(self, key) return Region[key] or key:match("^Set") and setter(self, key) end }
function Region:SetSize(width, height) self.width, self.height, self.game.dirty = width, height, true end
function Region:Hide() self.hidden, self.game.dirty = true, true end
function Region:Show() self.hidden, self.game.dirty = false, true end
function Region:ClearAllPoints() self.anchor = nil end
local function lit(c) return c >= 14 / 256 and 1 or 0 end -- the application's rule for a lit colour component
function Region:SetColorTexture(r, g, b) self.code, self.game.dirty = CODES[lit(r) * 4 + lit(g) * 2 + lit(b)], true end
function Region:SetPoint(point, to, toPoint, x, y)
    assert(point == "TOPLEFT" and toPoint == "TOPLEFT", "only top-left anchors are emulated")
    self.anchor, self.game.dirty = { to = to, x = x, y = y }, true
end
function Region:GetEffectiveScale() return self.scale * (self.parent and self.parent:GetEffectiveScale() or 1) end
function Region:RegisterEvent(event) self.events[event] = true end
function Region:SetScript(name, fn) self.scripts[name] = fn end
function Region:CreateTexture() return self.game:newRegion(self, self.textures) end
function Region:isShown() return not self.hidden and (not self.parent or self.parent:isShown()) end
-- Pixels per unit, and the left and top edges in game pixels (offsets are in the region's own units).
function Region:place()
    local unit, anchor, left, top, _ = self:GetEffectiveScale() * self.game.height / 768, self.anchor or { x = 0, y = 0 }, 0, 0
    if anchor.to or self.parent then _, left, top = (anchor.to or self.parent):place() end
    return unit, left + anchor.x * unit, top - anchor.y * unit
end

function Game:newRegion(parent, list, scale)
    self.created = (self.created or 0) + 1
    local region = setmetatable({ game = self, parent = parent, scale = scale or 1, events = {}, scripts = {}, textures = {},
        order = self.created }, RegionMeta)
    table.insert(list or self.frames, region)
    return region
end

-- options: width, height (the game's pixels), scale (how much larger the desktop shows the game),
-- late (the most seconds a reader tick comes late, 0.1 unless given), steps (game frame lengths),
-- classic, secrets ("told": the game says when identity is secret), only ("name", "guid" or
-- "player": only that read is secret while restricted). The player's realm is "Aerie Peak".
function Game.new(options)
    options = options or {}
    local game = setmetatable({ width = options.width or 1920, height = options.height or 1080, scale = options.scale or 1,
        late = options.late or 0.1, steps = options.steps or Game.STEPS, frames = {}, chat = {}, captures = {}, changes = {},
        time = 0, ticks = 0, nextTick = 0.013, step = 0, skipped = 0 }, Game)
    game.world, _G.UIParent = game:newRegion(nil), game:newRegion(nil, nil, 0.64)
    local tooltip = game:newRegion(UIParent) -- another add-on's frame over the top-left corner, in green
    tooltip.framestrata, tooltip.framelevel = "TOOLTIP", 100
    tooltip:CreateTexture():SetColorTexture(0, 1, 0)
    tooltip.textures[1]:SetSize(400, 40)
    local function identity(read, value)
        return game.restricted and (options.only or read) == read and newproxy(SECRET) or value
    end
    _G.UnitName = function() return identity("name", game.target.name), identity("name", game.target.realm) end
    _G.UnitIsPlayer = function() return identity("player", game.target.guid:find("^Player") ~= nil) end
    _G.UnitGUID = function() return identity("guid", game.target.guid) end
    _G.C_Secrets = not options.classic and { ShouldUnitIdentityBeSecret = function()
        return game.restricted == true and options.secrets == "told" end } or nil
    _G.issecretvalue = not options.classic and isSecret or nil
    _G.UnitExists = function() return game.target ~= nil end
    _G.CreateFrame = function(_, _, parent) return game:newRegion(parent) end
    _G.GetPhysicalScreenSize = function() return game.width, game.height end
    _G.GetRealmName, _G.GetNormalizedRealmName = function() return "Aerie Peak" end, function() return "AeriePeak" end
    _G.WorldFrame, _G.KESHVistrelxmitSettings, _G.SlashCmdList, _G.UNKNOWNOBJECT = game.world, nil, {}, "Unknown"
    _G.WOW_PROJECT_MAINLINE, _G.WOW_PROJECT_ID = 1, options.classic and 2 or 1
    _G.DEFAULT_CHAT_FRAME = { AddMessage = function(_, text) table.insert(game.chat, text) end }
    game:load()
    return game
end

-- Loads the add-on's files as the game does, whose type() calls a secret string a string.
function Game:load()
    self.ns, self.addonFrames = {}, #self.frames
    local env = setmetatable({ type = function(v) return isSecret(v) and "string" or type(v) end },
        { __index = _G, __newindex = _G })
    for file in io.open(Game.ADDON_DIR .. "/KESHVistrelxmit.toc"):read("*a"):gmatch("([%w_]+%.lua)") do
        setfenv(assert(loadfile(Game.ADDON_DIR .. "/" .. file)), env)("KESHVistrelxmit", self.ns)
    end
    self:fire("ADDON_LOADED", "KESHVistrelxmit")
end

function Game:fire(event, ...)
    for _, frame in ipairs(self.frames) do if frame.events[event] then frame.scripts.OnEvent(frame, event, ...) end end
end

function Game:setTarget(target)
    self.target = { name = target[1], realm = target[2], guid = target[3] }
    self:fire("PLAYER_TARGET_CHANGED")
end

function Game:slash(text)
    local command, rest = text:lower():match("^(%S+)%s*(.*)$")
    for key, fn in pairs(SlashCmdList) do if _G["SLASH_" .. key .. "1"]:lower() == command then return fn(rest) end end
    error("no slash command " .. text)
end

-- The captured rows 0..8, a colour code per pixel: the frames drawn by strata, level and age on a
-- white scene, or black while something else covers the screen.
function Game:picture()
    if not self.dirty then return self.cached end
    local drawn, grid, s = {}, {}, self.scale
    for _, frame in ipairs(self.covered and {} or self.frames) do
        for _, texture in ipairs(frame:isShown() and frame.textures or {}) do table.insert(drawn, texture) end
    end
    local function rank(t) return (STRATA[t.parent.framestrata] or 0) * 1e8 + (t.parent.framelevel or 0) * 1e4 + t.order end
    table.sort(drawn, function(a, b) return rank(a) < rank(b) end)
    for y = 0, ROWS - 1 do grid[y + 1] = {} for x = 1, COLUMNS do grid[y + 1][x] = self.covered and 0 or 7 end end
    for _, t in ipairs(drawn) do -- game pixel g shows on captured pixels ceil(g * s) .. ceil((g + 1) * s) - 1
        local unit, left, top = t:place()
        local function span(from, size)
            return math.ceil(math.ceil(from - 0.5) * s), math.ceil(math.ceil(from + size - 0.5) * s) - 1
        end
        local x0, x1 = span(left, t.width * unit)
        local y0, y1 = span(top, t.height * unit)
        for y = math.max(0, y0), math.min(ROWS - 1, y1) do
            for x = math.max(0, x0), math.min(COLUMNS - 1, x1) do grid[y + 1][x + 1] = t.code end
        end
    end
    for y, row in ipairs(grid) do grid[y] = table.concat(row) end
    self.cached, self.dirty = table.concat(grid, " "), false
    return self.cached
end

-- Runs the game for some seconds in game frames of its steps in turn (or of `frame` seconds each),
-- logging every change of the picture; the reader captures it every 0.05 s, often late.
function Game:run(seconds, frame)
    local stop = self.time + seconds - 1e-9
    while self.time < stop do
        self.step = self.step % #self.steps + 1
        local step, picture = frame or self.steps[self.step], self:picture()
        while self.nextTick < self.time + step do
            table.insert(self.captures, ("%.4f %s"):format(self.nextTick, picture))
            self.ticks = self.ticks + 1
            self.nextTick = self.nextTick + 0.05 + self.late * (self.ticks * 7 % 4) / 3
        end
        self.time, self.skipped = self.time + step, self.skipped + step
        for _, f in ipairs(self.loading and {} or self.frames) do -- no game frames on a loading screen
            if f.scripts.OnUpdate and f:isShown() then f.scripts.OnUpdate(f, self.skipped) end
        end
        self.skipped = self.loading and self.skipped or 0
        if self:picture() ~= picture then table.insert(self.changes, { at = self.time, picture = self.cached }) end
    end
end

-- Something else on the whole screen for some seconds: a loading screen (with reload, the add-on is
-- loaded anew behind it), a cinematic or a movie.
function Game:cover(kind, seconds, reload)
    self:fire(COVERS[kind][1])
    self.covered, self.loading, self.dirty = true, kind == "loading", true
    self:run(seconds)
    for i = #self.frames, reload and self.addonFrames + 1 or math.huge, -1 do table.remove(self.frames, i) end
    if reload then self:load() end
    self.covered, self.loading, self.dirty = false, false, true
    self:fire(COVERS[kind][2])
    if kind == "loading" then self:fire("PLAYER_ENTERING_WORLD", false, reload == true) end
end

-- Plays a game from its calibration on: shows the calibration pattern, takes it away, lets `act` play,
-- and returns the game and what the application read: the horizontal offset it calibrated from the
-- pattern and the messages.
function Game.play(options, act)
    local game, path, result = Game.new(options), os.tmpname(), { messages = {} }
    game:slash("/KeshVistrelCal")
    game:run(0.1)
    local calibration = "0 " .. game:picture()
    game:slash("/KeshVistrelCal")
    game.changes = {}
    act(game)
    local file = assert(io.open(path, "w"))
    file:write(calibration, "\n", table.concat(game.captures, "\n"), "\n")
    file:close()
    local reader = assert(io.popen((os.getenv("KV_STRIP_READER") or here .. "/../../build/default/bin/kv_addon_strip_reader")
        .. " < " .. path))
    for line in reader:lines() do
        result.offset = result.offset or tonumber(line:match("^calibrated %S+ (%d+)"))
        table.insert(result.messages, line:match("^message (.*)$"))
    end
    reader:close()
    os.remove(path)
    return game, result
end

-- The golden frames: message text -> its 12-character frame lines.
function Game.goldenFrames()
    local blocks, current = {}, nil
    for line in io.lines(Game.GOLDEN_DIR .. "/strip-frames.txt") do
        local text = line:match("^message (.*)$")
        if text then current = {} blocks[text] = current end
        if line:match("^[01]+ ") then table.insert(current, line:sub(1, 12)) end
    end
    return blocks
end

return Game
