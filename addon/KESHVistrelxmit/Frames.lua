-- The strip's frames: a byte becomes 12 cells, lit (1) or black (0). Cells 0 and 10 are markers that
-- are always lit, cells 1 and 11 carry the phase, cells 2 to 9 the byte from its most significant bit
-- down. The reader confirms a byte when its phase-1 frame follows its phase-0 frame.
local _, ns = ...

local Frames = {}
ns.Frames = Frames

Frames.CELL_COUNT = 12

-- Two bytes that no text we send contains: the reader takes a 7 followed by an 8 as the end.
Frames.TERMINATOR = { 7, 8 }

-- Both markers dark, so the reader never takes an idle strip for a frame.
Frames.IDLE = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0 }

function Frames.cells(byte, phase)
    local cells = { 1, phase }
    for bit = 7, 0, -1 do
        cells[#cells + 1] = math.floor(byte / 2 ^ bit) % 2
    end
    cells[11] = 1
    cells[12] = phase
    return cells
end

-- Whether the reader can take text as one message: at least two bytes (it drops shorter ones and
-- keeps their bytes in front of the next message), no control bytes (a 7 then an 8 inside would end
-- it early) and no byte 255 (never collected).
function Frames.isSendable(text)
    if type(text) ~= "string" or #text < 2 then
        return false
    end
    return not text:find("[%z\1-\31\255]")
end

-- Every frame of a message, terminator included, in the order they are shown; nil when the text
-- cannot be sent.
function Frames.forMessage(text)
    if not Frames.isSendable(text) then
        return nil
    end
    local bytes = { text:byte(1, -1) }
    bytes[#bytes + 1] = Frames.TERMINATOR[1]
    bytes[#bytes + 1] = Frames.TERMINATOR[2]
    local frames = {}
    for _, byte in ipairs(bytes) do
        for phase = 0, 1 do
            frames[#frames + 1] = { byte = byte, phase = phase, cells = Frames.cells(byte, phase) }
        end
    end
    return frames
end
