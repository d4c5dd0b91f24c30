// Appended to the program's JavaScript (--post-js), so it runs before the program starts and
// glutInit registers these handlers in place of Emscripten's own.
//
// What it takes from inside Emscripten 3.1.6, none of it documented; the build stops when any is
// missing from the Emscripten it uses (check_emscripten.cmake):
//  - GLUT's input handlers, replaced or wrapped: onMousemove, onMouseButtonDown, onMouseButtonUp,
//    onMouseWheel, onKeydown, onKeyup and touchHandler, which glutInit looks up by these names;
//  - what they read and call: GLUT.buttons (the buttons held, kept by onMouseButtonDown and
//    onMouseButtonUp), the program's callbacks GLUT.motionFunc, passiveMotionFunc, mouseFunc,
//    keyboardFunc and keyboardUpFunc, GLUT.saveModifiers and GLUT.getASCIIKey;
//  - Browser.mouseX and mouseY (the pointer in the canvas's pixels), Browser.calculateMouseEvent
//    and Browser.getMouseWheelDelta;
//  - getWasmTableEntry, through which GLUT calls the program's callbacks.
// And from the program and the page: Module['_frameAfterInput'] (main.cpp; the link fails
// without it, see CMakeLists.txt) and window.letterKeyAllowed (settings.js), with
// Module['canvas'].

// After each input passed to the program: while the page has paused its motion, the frame that
// shows what the input changed (main.cpp).
function inputTaken() {
  Module['_frameAfterInput']();
}

// Emscripten's GLUT hands the motion callbacks the pointer's previous position instead of the
// new one, so the creature under the mouse would always be the one under the mouse one event
// ago. This handler passes the new position, as freeglut does on the desktop.
GLUT.onMousemove = function (event) {
  var lastX = Browser.mouseX;
  var lastY = Browser.mouseY;
  Browser.calculateMouseEvent(event);
  var x = Browser.mouseX;
  var y = Browser.mouseY;
  if (x == lastX && y == lastY) return;
  // Movement with a button held that the program did not get the press of is no one's.
  if (GLUT.buttons == 0 && event.buttons == 0 && event.target == Module['canvas'] &&
      GLUT.passiveMotionFunc) {
    event.preventDefault();
    GLUT.saveModifiers(event);
    getWasmTableEntry(GLUT.passiveMotionFunc)(x, y);
    inputTaken();
  } else if (GLUT.buttons != 0 && GLUT.motionFunc) {
    event.preventDefault();
    GLUT.saveModifiers(event);
    getWasmTableEntry(GLUT.motionFunc)(x, y);
    inputTaken();
  }
};

// Emscripten's GLUT turns the first finger of every touch into the left button at once, so a
// two-finger gesture would pick what its first finger landed on. The page turns touches into
// mouse events itself (input.js); here they are left alone.
GLUT.touchHandler = function () {};

// A press reaches the program only on its canvas, and a release only when the program had the
// press, wherever the pointer is then: a window on the desktop gets the release of a press made
// in it, and nothing of a press made elsewhere. Emscripten's GLUT passes on every release on the
// page, so that a click on the page's buttons or text would end the title screen.
var glutMouseButtonDown = GLUT.onMouseButtonDown;
GLUT.onMouseButtonDown = function (event) {
  if (event.target != Module['canvas']) return;
  glutMouseButtonDown(event);
  inputTaken();
};
var glutMouseButtonUp = GLUT.onMouseButtonUp;
GLUT.onMouseButtonUp = function (event) {
  if (!(GLUT.buttons & (1 << event['button']))) return;
  glutMouseButtonUp(event);
  inputTaken();
};

// The wheel reaches the program only over its canvas, as it would only over its window on the
// desktop: as GLUT's buttons 3 (up) and 4 (down), pressed. Emscripten's GLUT also cancels the
// event, which a listener on the window may not do (the browser treats it as passive and says so
// on the console); the page scrolls as usual, but for a trackpad's pinch (input.js).
GLUT.onMouseWheel = function (event) {
  if (event.target != Module['canvas'] || !GLUT.mouseFunc) return;
  Browser.calculateMouseEvent(event);
  var button = Browser.getMouseWheelDelta(event) > 0 ? 4 : 3;
  GLUT.saveModifiers(event);
  getWasmTableEntry(GLUT.mouseFunc)(button, 0 /* GLUT_DOWN */, Browser.mouseX, Browser.mouseY);
  inputTaken();
};

// The program knows seven keys: i, j, k, l, u, o and Escape, and only they reach it. Emscripten's
// GLUT passes every key it can name, from anywhere on the page, and cancels what the browser
// would do with it, so that Tab could never move the focus, nor Enter or Space press a button;
// the program's handlers do nothing with any other key. The page keeps the rest: the arrow keys,
// Home, End, Enter and Space on the canvas choose and pick creatures (keyboard.js). The six
// letters come from anywhere on the page unless a setting of the page keeps them to the canvas
// and the buttons that move and turn the view (settings.js: window.letterKeyAllowed); Escape
// always does.
var PROGRAM_KEYS = [105, 106, 107, 108, 117, 111, 27];  // i j k l u o, Escape
var ESCAPE = 27;
function programKey(event) {
  var key = GLUT.getASCIIKey(event);
  if (key === null || PROGRAM_KEYS.indexOf(key) < 0) return null;
  if (key != ESCAPE && window.letterKeyAllowed && !window.letterKeyAllowed(event)) return null;
  return key;
}
function keyHandler(callback) {
  return function (event) {
    var key = programKey(event);
    if (key === null || !GLUT[callback]) return;
    event.preventDefault();
    GLUT.saveModifiers(event);
    getWasmTableEntry(GLUT[callback])(key, Browser.mouseX, Browser.mouseY);
    inputTaken();
  };
}
GLUT.onKeydown = keyHandler('keyboardFunc');
GLUT.onKeyup = keyHandler('keyboardUpFunc');
