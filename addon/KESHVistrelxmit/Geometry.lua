-- Size and scale of the strip so that every cell is a whole number of physical pixels, whatever the
-- resolution and the interface scale.
local _, ns = ...

local Geometry = {}
ns.Geometry = Geometry

-- The game's interface coordinates are 768 units tall at an effective scale of 1.
Geometry.UI_HEIGHT_UNITS = 768

-- The application's calibration finds the right edge of the first cell within the first ten pixel
-- columns and starts reading in that cell's middle, so a cell must be 3 to 10 pixels wide.
Geometry.CELL_PIXELS = 8

-- physicalHeight: the screen's height in pixels; parentScale: the effective scale of the frame the
-- strip hangs on. Returns the strip frame's own scale (one unit = one pixel) and, in those units,
-- the cell size and the strip's width and height.
function Geometry.layout(physicalHeight, parentScale)
    if not physicalHeight or physicalHeight <= 0 then
        physicalHeight = Geometry.UI_HEIGHT_UNITS
    end
    if not parentScale or parentScale <= 0 then
        parentScale = 1
    end
    local cell = Geometry.CELL_PIXELS
    return {
        scale = Geometry.UI_HEIGHT_UNITS / physicalHeight / parentScale,
        cell = cell,
        width = cell * ns.Frames.CELL_COUNT,
        height = cell,
    }
end
