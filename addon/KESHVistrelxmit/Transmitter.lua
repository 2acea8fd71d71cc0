-- Decides what the strip shows: the calibration pattern while it is on, black while the strip cannot
-- be seen, else the messages. The pattern and a hidden strip both cut the message on its way short;
-- it is sent again from its start afterwards.
local _, ns = ...

local Transmitter = {}
Transmitter.__index = Transmitter
ns.Transmitter = Transmitter

Transmitter.CALIBRATION_SECONDS = 90
Transmitter.CALIBRATION_STARTED = "KESHVistrelxmit: showing the calibration pattern for 90 seconds. "
    .. "Type /KeshVistrelCal again to stop it."
Transmitter.CALIBRATION_STOPPED = "KESHVistrelxmit: calibration pattern stopped."
Transmitter.CALIBRATION_FINISHED = "KESHVistrelxmit: calibration pattern finished."

-- A game frame this long (a stall, or the first one after a loading screen) may have kept one frame
-- on screen until the application's 3 s limit for an unfinished message ran out; the message is sent
-- again from its start.
Transmitter.STALL_SECONDS = 1

-- say: where texts for the player go (the chat window).
function Transmitter.new(say)
    return setmetatable({
        say = say,
        sender = ns.Sender.new(),
        hidden = false,
        calibrationLeft = nil,
    }, Transmitter)
end

function Transmitter:send(text)
    return self.sender:submit(text)
end

-- Messages go on once neither the pattern nor a hidden strip is in the way.
function Transmitter:carryOn()
    if not self.hidden and not self.calibrationLeft then
        self.sender:restart()
    end
end

function Transmitter:toggleCalibration()
    if self.calibrationLeft then
        self.calibrationLeft = nil
        self.say(Transmitter.CALIBRATION_STOPPED)
        self:carryOn()
    else
        self.sender:stop()
        self.calibrationLeft = Transmitter.CALIBRATION_SECONDS
        self.say(Transmitter.CALIBRATION_STARTED)
    end
end

-- hidden: the strip is not on screen (loading screen, cinematic, movie).
function Transmitter:setHidden(hidden)
    if hidden ~= self.hidden then
        self.hidden = hidden
        if hidden then
            self.sender:stop()
        else
            self:carryOn()
        end
    end
end

-- Called once per game frame with the seconds since the last one; returns the 12 colour codes.
function Transmitter:update(elapsed)
    if elapsed >= Transmitter.STALL_SECONDS then
        self.sender:stop()
        self:carryOn()
        elapsed = 0 -- the black time before it starts now
    end
    if self.calibrationLeft and not self.hidden then
        self.calibrationLeft = self.calibrationLeft - elapsed
        if self.calibrationLeft > 0 then
            return ns.Colours.CALIBRATION_PATTERN
        end
        self.calibrationLeft = nil
        self.say(Transmitter.CALIBRATION_FINISHED)
        self:carryOn()
    end
    return ns.Colours.forCells(self.sender:update(elapsed))
end
