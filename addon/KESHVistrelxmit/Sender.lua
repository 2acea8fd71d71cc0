-- Shows the frames of one message after another, each for at least the hold time, with the strip
-- black for at least the gap between messages. Time comes in from outside (the game's per-frame
-- update), so it can be tested.
local _, ns = ...

local Sender = {}
Sender.__index = Sender
ns.Sender = Sender

-- The reader samples the strip every 0.05 s and may be up to 0.1 s late, so two of its samples can
-- lie 0.15 s apart: a frame held that long is always seen.
Sender.HOLD_SECONDS = 0.15
Sender.GAP_SECONDS = 0.5
-- The application drops an unfinished message when no byte has come for 3 s. A message that was
-- cut short is sent again only after the strip has been black longer than that, so that the
-- application never glues its first part to the whole.
Sender.RESTART_SECONDS = 3.5

-- hold and gap may be changed at any time (the player's settings).
function Sender.new()
    -- Black at first: after a /reload the application may still hold part of a message.
    return setmetatable({
        hold = Sender.HOLD_SECONDS,
        gap = Sender.GAP_SECONDS,
        held = 0,
        black = Sender.RESTART_SECONDS,
        frames = nil,
        index = 0,
        pending = nil,
        stopped = false,
    }, Sender)
end

-- Queues a message behind the one being shown. A message that has not started yet is replaced:
-- only the latest target matters.
function Sender:submit(text)
    local frames = ns.Frames.forMessage(text)
    if not frames then
        return false
    end
    self.pending = frames
    return true
end

-- The strip cannot be read (hidden, or showing the calibration pattern): the message on its way is
-- given up and waits to be sent again from its start, unless a newer one already waits. The strip
-- stays black and time does not count until restart.
function Sender:stop()
    if self.frames and not self.pending then
        self.pending = self.frames
    end
    self.frames, self.stopped = nil, true
end

function Sender:restart()
    self.stopped, self.held, self.black = false, 0, Sender.RESTART_SECONDS
end

-- Moves on once what is shown has been held long enough and returns the cells to show. The hold
-- restarts from zero rather than carrying the overshoot, so a long game frame never shortens the
-- next one; at most one step is taken per call.
function Sender:update(elapsed)
    if self.stopped then
        return ns.Frames.IDLE
    end
    self.held = self.held + elapsed
    if self.frames and self.held >= self.hold then
        if self.index < #self.frames then
            self.index, self.held = self.index + 1, 0
        else
            self.frames, self.held, self.black = nil, 0, self.gap
        end
    elseif not self.frames and self.pending and self.held >= self.black then
        self.frames, self.pending, self.index, self.held = self.pending, nil, 1, 0
    end
    return self.frames and self.frames[self.index].cells or ns.Frames.IDLE
end
