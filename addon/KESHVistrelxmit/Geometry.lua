-- Size and scale of the strip so that every cell is a whole number of physical pixels, whatever the
-- resolution and the interface scale.
local _, ns = ...

local Geometry = {}
ns.Geometry = Geometry

-- A frame without a parent is 768 units tall at a scale of 1, whatever the interface scale.
Geometry.UI_HEIGHT_UNITS = 768

-- The application's calibration finds the right edge of the first cell within the first ten pixel
-- columns of its capture and starts reading in that cell's middle. When the desktop shows the game
-- enlarged, the capture enlarges the cells too: 4 pixels stay within reach at 1x (4), 1.5x (6),
-- 2x (8) and 2.5x (10).
Geometry.CELL_PIXELS = 4

-- physicalHeight: the game's height in pixels. Returns the strip frame's scale (one unit = one
-- pixel) and, in those units, the cell size and the strip's width and height.
function Geometry.layout(physicalHeight)
    if not physicalHeight or physicalHeight <= 0 then
        physicalHeight = Geometry.UI_HEIGHT_UNITS
    end
    local cell = Geometry.CELL_PIXELS
    return {
        scale = Geometry.UI_HEIGHT_UNITS / physicalHeight,
        cell = cell,
        width = cell * ns.Frames.CELL_COUNT,
        height = cell,
    }
end
