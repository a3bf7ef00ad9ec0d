#pragma once
// What the walk-through robots behind ./run share (showrobot.exe for the
// applet, loaderrobot.exe for the loader): they drive a deliverable on a
// display with the harness's robot and speak to their script in lines on
// stdout and stdin:
//   shot NAME LEFT TOP RIGHT BOTTOM   a window's screen rectangle; the robot
//                                     waits for one line back while the
//                                     script takes the picture
//   error TEXT                        a step failed; the robot ends with
//                                     exit code 1
// Each robot adds lines of its own.
#include <windows.h>

#include <string>

namespace harness::walkthrough {

// The first window after a cold Wine start on a fresh display.
constexpr int kFirstWindowMs = 60000;
constexpr int kWindowMs = 15000;

// Plain "\n" lines on stdout, and every harness failure ends the robot
// through Stop.
void Begin();
// One line to the script.
void Say(const std::string& line);
// Lets the window paint first when its thread can, then hands it to the
// script for its picture.
void Shoot(HWND window, const std::string& name, bool letItPaint = true);
// "error TEXT" and exit code 1. A program the robot started in a CChild
// dies with it: the job closes with the process.
[[noreturn]] void Stop(const std::string& text);

}  // namespace harness::walkthrough
