#pragma once
// meterlink-cli stats: the statistics of saved logs, per file and unit.

int runStats(int argc, char** argv);
