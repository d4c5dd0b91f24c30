#include "app/population_pass.h"

// There is no population yet: the display pass shows the clear colour.
void drawPopulationPass() {}
