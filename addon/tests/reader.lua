-- The application's side of the strip, written from its documented behaviour: 12 samples across a
-- calibrated width, the lit markers and phase cells, the two-phase confirmation and the 7, 8 end.
local Reader = {}
Reader.__index = Reader

local WEIGHTS = { 0, 0, 128, 64, 32, 16, 8, 4, 2, 1, 0, 0 }

function Reader.new(horizOffset, width)
    local offsets = {}
    for i = 0, 11 do offsets[i + 1] = horizOffset + math.floor(i * width / 12 + 0.5) end
    return setmetatable({ offsets = offsets, bytes = {}, messages = {}, frames = {} }, Reader)
end

function Reader:sample(game)
    local lit, value = {}, 0
    for i, x in ipairs(self.offsets) do
        lit[i] = game:pixel(x) ~= 0
        if lit[i] then value = value + WEIGHTS[i] end
    end
    if not (lit[1] and lit[11]) or lit[2] ~= lit[12] then return end
    local phase = lit[2] and 1 or 0
    if phase == 0 then
        self.armed = value
    elseif self.armed == value then
        self.armed = nil
        if value == 8 and self.last == 7 then
            if #self.bytes >= 3 then
                table.remove(self.bytes)
                table.insert(self.messages, string.char(unpack(self.bytes)))
                self.bytes = {}
            end
        elseif value < 255 then
            table.insert(self.bytes, value)
            self.last = value
        end
    end
end

return Reader
