#pragma once
// meterlink-cli simulate: a meter on a pseudo-terminal.

int runSimulate(int argc, char** argv);
