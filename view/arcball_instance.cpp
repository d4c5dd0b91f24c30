// The program's trackball, sized from the viewer window. Kept out of the GL-free core, which
// knows nothing of the window.
#include "app/viewer_window.h"
#include "view/arcball.h"

ArcBall& ArcBall::instance() {
    static ArcBall* arcBall =
        new ArcBall(ViewerWindow::instance().width, ViewerWindow::instance().height);
    return *arcBall;
}
