-- Decides what the strip shows: the calibration pattern while it is on, else the messages. The
-- pattern waits for a byte boundary and the message goes on after it, so a calibration typed while
-- a message is on its way does not garble it (the pattern reads as a phase-0 frame of 255, a byte
-- that is never confirmed).
local _, ns = ...

local Transmitter = {}
Transmitter.__index = Transmitter
ns.Transmitter = Transmitter

Transmitter.CALIBRATION_SECONDS = 90
Transmitter.CALIBRATION_STARTED = "KESHVistrelxmit: showing the calibration pattern for 90 seconds. "
    .. "Type /KeshVistrelCal again to stop it."
Transmitter.CALIBRATION_STOPPED = "KESHVistrelxmit: calibration pattern stopped."
Transmitter.CALIBRATION_FINISHED = "KESHVistrelxmit: calibration pattern finished."

-- say: where texts for the player go (the chat window).
function Transmitter.new(say, holdSeconds)
    return setmetatable({
        say = say,
        sender = ns.Sender.new(holdSeconds),
        calibrationRequested = false,
        calibrationLeft = nil,
    }, Transmitter)
end

function Transmitter:send(text)
    return self.sender:submit(text)
end

function Transmitter:isCalibrating()
    return self.calibrationRequested or self.calibrationLeft ~= nil
end

function Transmitter:toggleCalibration()
    if self:isCalibrating() then
        self.calibrationRequested, self.calibrationLeft = false, nil
        self.say(Transmitter.CALIBRATION_STOPPED)
    else
        self.calibrationRequested = true
        self.say(Transmitter.CALIBRATION_STARTED)
    end
end

-- Called once per game frame with the seconds since the last one; returns the 12 colour codes.
function Transmitter:update(elapsed)
    if self.calibrationLeft then
        self.calibrationLeft = self.calibrationLeft - elapsed
        if self.calibrationLeft > 0 then
            return ns.Colours.CALIBRATION_PATTERN
        end
        self.calibrationLeft = nil
        self.say(Transmitter.CALIBRATION_FINISHED)
        return ns.Colours.forCells(self.sender:advance())
    end
    self.sender:addTime(elapsed)
    if self.calibrationRequested and self.sender:atByteBoundary() then
        self.calibrationRequested = false
        self.calibrationLeft = Transmitter.CALIBRATION_SECONDS
        return ns.Colours.CALIBRATION_PATTERN
    end
    return ns.Colours.forCells(self.sender:advance())
end
