-- Shows the frames of one message after another, each for at least the hold time, with a black strip
-- between messages. Time comes in from outside (the game's per-frame update), so it can be tested.
local _, ns = ...

local Sender = {}
Sender.__index = Sender
ns.Sender = Sender

-- The reader samples the strip every 0.05 s; holding each frame twice that long lets it see every
-- frame at least once even when its samples come late.
Sender.HOLD_SECONDS = 0.1

function Sender.new(holdSeconds)
    local hold = holdSeconds or Sender.HOLD_SECONDS
    -- held starts full, so the first message starts at once.
    return setmetatable({ hold = hold, held = hold, frames = nil, index = 0, pending = nil }, Sender)
end

-- Queues a message behind the one being shown. A message that has not started yet is replaced:
-- only the latest target matters, and a message cut short would garble the next one.
function Sender:submit(text)
    local frames = ns.Frames.forMessage(text)
    if not frames then
        return false
    end
    self.pending = frames
    return true
end

function Sender:addTime(elapsed)
    self.held = self.held + elapsed
end

-- Whether the strip can show something else now without a byte being lost or read twice: between
-- messages, or on a byte's phase-1 frame that has been held long enough to be read.
function Sender:atByteBoundary()
    if not self.frames then
        return true
    end
    return self.held >= self.hold and self.frames[self.index].phase == 1
end

function Sender:isIdle()
    return self.frames == nil and self.pending == nil
end

-- Moves on once what is shown has been held long enough and returns the cells to show. The hold
-- restarts from zero rather than carrying the overshoot, so a long game frame never shortens the
-- next one; at most one step is taken per call.
function Sender:advance()
    if self.held >= self.hold then
        if self.frames and self.index < #self.frames then
            self.index = self.index + 1
            self.held = 0
        elseif self.frames then
            self.frames, self.index, self.held = nil, 0, 0
        elseif self.pending then
            self.frames, self.pending, self.index, self.held = self.pending, nil, 1, 0
        end
    end
    if self.frames then
        return self.frames[self.index].cells
    end
    return ns.Frames.IDLE
end

function Sender:update(elapsed)
    self:addTime(elapsed)
    return self:advance()
end
