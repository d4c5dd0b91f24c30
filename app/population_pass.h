// The population's part of the display pass, drawn once the title screen is gone.
#pragma once

// Draws the creature population with the trackball rotation onto the current model-view matrix
// (the camera translation). Must not change the matrix stacks' depth.
void drawPopulationPass();
