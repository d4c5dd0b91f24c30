// Appended to the program's JavaScript (--post-js), so it runs before the program starts.
// Emscripten's GLUT hands the motion callbacks the pointer's previous position instead of the
// new one, so the creature under the mouse would always be the one under the mouse one event
// ago. This handler, which glutInit registers in its place, passes the new position, as
// freeglut does on the desktop.
GLUT.onMousemove = function (event) {
  var lastX = Browser.mouseX;
  var lastY = Browser.mouseY;
  Browser.calculateMouseEvent(event);
  var x = Browser.mouseX;
  var y = Browser.mouseY;
  if (x == lastX && y == lastY) return;
  if (GLUT.buttons == 0 && event.target == Module['canvas'] && GLUT.passiveMotionFunc) {
    event.preventDefault();
    GLUT.saveModifiers(event);
    getWasmTableEntry(GLUT.passiveMotionFunc)(x, y);
  } else if (GLUT.buttons != 0 && GLUT.motionFunc) {
    event.preventDefault();
    GLUT.saveModifiers(event);
    getWasmTableEntry(GLUT.motionFunc)(x, y);
  }
};
