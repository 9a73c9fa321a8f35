#pragma once
// meterlink-cli send --meter MODEL --port PORT COMMAND: presses a button of
// a meter on its UT-D09 cable and prints what the meter shows after.

int runSend(int argc, char** argv);
