// Surviving the X server going away. Xlib ends the program when a connection breaks; a
// program that records must save what it recorded instead. Connections that opt in here
// have their calls fail and return, and DisplayLost() says why.
//
//   Display* display = XOpenDisplay(nullptr);
//   OutliveDisplayLoss(display);        // after each XOpenDisplay
//   ... a request fails ... if (DisplayLost()) save and stop
#pragma once

typedef struct _XDisplay Display;

// Lets calls on `display` return after its connection broke instead of ending the program.
// Connections that never opted in still end the program (their exit handler does).
void OutliveDisplayLoss(Display* display);

// Whether some connection of the program has broken. Safe from any thread.
bool DisplayLost();

// The part of OutliveDisplayLoss that libraries may do on their own connections (the hook
// libraries): calls return after a break. It takes effect only in a program that opted in
// with OutliveDisplayLoss, and the library's owner finds out about the break by itself.
void ReturnAfterDisplayLoss(Display* display);
