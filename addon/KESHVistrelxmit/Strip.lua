-- The 12 cells on screen, on a frame of their own. It has no parent, so nothing that moves, scales
-- or hides other frames (the interface scale, the interface hidden, a cinematic or another add-on
-- moving the world frame) touches it; it is anchored to the screen's top-left corner, drawn above
-- every other frame, and sets its own scale so that one of its units is one physical pixel.
local _, ns = ...

local Strip = {}
Strip.__index = Strip
ns.Strip = Strip

-- Above every other frame: a tooltip or a dialog over the strip would garble the messages.
Strip.STRATA = "TOOLTIP"
Strip.LEVEL = 10000

function Strip.create()
    local frame = CreateFrame("Frame", "KESHVistrelxmitStrip", nil)
    frame:SetFrameStrata(Strip.STRATA)
    frame:SetFrameLevel(Strip.LEVEL)
    local strip = setmetatable({ frame = frame, cells = {}, shown = {} }, Strip)
    for i = 1, ns.Frames.CELL_COUNT do
        local texture = frame:CreateTexture(nil, "OVERLAY")
        -- Edges already lie on pixels; snapping could only move them.
        if texture.SetSnapToPixelGrid then
            texture:SetSnapToPixelGrid(false)
            texture:SetTexelSnappingBias(0)
        end
        strip.cells[i] = texture
    end
    strip:layout()
    strip:paint(ns.Colours.forCells(ns.Frames.IDLE))
    frame:Show()
    return strip
end

-- Run again whenever the resolution changes.
function Strip:layout()
    local height
    if GetPhysicalScreenSize then
        height = select(2, GetPhysicalScreenSize())
    end
    local geometry = ns.Geometry.layout(height)
    local frame = self.frame
    frame:SetScale(geometry.scale)
    frame:ClearAllPoints()
    frame:SetPoint("TOPLEFT", nil, "TOPLEFT", 0, 0)
    frame:SetSize(geometry.width, geometry.height)
    for i, texture in ipairs(self.cells) do
        texture:ClearAllPoints()
        texture:SetPoint("TOPLEFT", frame, "TOPLEFT", (i - 1) * geometry.cell, 0)
        texture:SetSize(geometry.cell, geometry.height)
    end
end

-- codes: 12 colour codes; only cells that change are repainted.
function Strip:paint(codes)
    for i, code in ipairs(codes) do
        if self.shown[i] ~= code then
            local rgb = ns.Colours.RGB[code]
            self.cells[i]:SetColorTexture(rgb[1], rgb[2], rgb[3], 1)
            self.shown[i] = code
        end
    end
end
