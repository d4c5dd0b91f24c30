// The population's part of the display pass, drawn once the title screen is gone.
#pragma once

// Draws the World's population as the window, trackball and input controller have it now: the
// frame clock, the trackball rotation, the view offsets, the hovered and the first-picked
// creature. Creates the World on first use, so the display pass calls it only once the title is
// gone. Leaves the matrix stacks as it found them.
void drawPopulationPass();
