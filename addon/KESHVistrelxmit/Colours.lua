-- Flat colours the strip paints, by colour code, and the calibration pattern. Every component is
-- either off or fully lit, so no shading or blending can put a cell near the reader's lit threshold.
local _, ns = ...

local Colours = {}
ns.Colours = Colours

Colours.BLACK = 0
Colours.WHITE = 7

-- Code -> red, green, blue.
Colours.RGB = {
    [0] = { 0, 0, 0 }, -- black
    [1] = { 1, 0, 0 }, -- red
    [2] = { 0, 1, 0 }, -- green
    [3] = { 0, 0, 1 }, -- blue
    [4] = { 1, 1, 0 }, -- yellow
    [5] = { 0, 1, 1 }, -- cyan
    [6] = { 1, 0, 1 }, -- magenta
    [7] = { 1, 1, 1 }, -- white
}

-- The 12 cells the application's calibration looks for, left to right.
Colours.CALIBRATION_PATTERN = { 6, 0, 4, 3, 2, 1, 7, 6, 5, 4, 5, 0 }

-- Lit cells of a frame are painted white.
function Colours.forCells(cells)
    local codes = {}
    for i, lit in ipairs(cells) do
        codes[i] = lit == 1 and Colours.WHITE or Colours.BLACK
    end
    return codes
end
