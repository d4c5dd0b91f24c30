// What happens in the program that the page is told of, through functions the page gives the
// program's Module (web/program_events.cpp): each is called on the program's thread, at once.
#pragma once

// Module.onProgramStarted(): the program takes input, and its first frame is on its way.
void tellProgramStarted();

// Module.onFrameShown(): a display pass has drawn the frame the browser shows next.
void tellFrameShown();

// Module.onBreeding({ creature, partner, newChildren }): creature has been bred with partner
// (itself for a self-breeding); newChildren is true when the breeding made two new creatures,
// false when it changed creature and its descendants in place.
void tellBreeding(int creature, int partner, bool newChildren);

// The program's end is told as Module.onProgramEnd(status), with the status it exits with, before
// it exits: every call of exit() in the program goes through here (the link wraps exit).
