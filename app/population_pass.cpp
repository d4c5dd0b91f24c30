#include "app/population_pass.h"

#include "app/population_draw.h"
#include "app/viewer_window.h"
#include "creature/world.h"
#include "view/arcball.h"
#include "view/input_controller.h"

void drawPopulationPass() {
    const InputController& input = InputController::instance();
    PopulationView view;
    view.model.currentTime = ViewerWindow::instance().currentTime;
    view.model.transform = ArcBall::instance().transform;
    view.model.viewOffsetX = input.viewOffsetX;
    view.model.viewOffsetY = input.viewOffsetY;
    view.model.viewOffsetZ = input.viewOffsetZ;
    view.hoverIndex = input.hoverIndex;
    view.firstPick = input.firstPick;
#ifdef __EMSCRIPTEN__
    // The browser shows only some display passes: webDrawPopulation draws in those alone.
    webDrawPopulation(World::instance(), view);
#else
    drawPopulation(World::instance(), view);
#endif
}
