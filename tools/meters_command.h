#pragma once

// meterlink-cli meters [--markdown]: the meters MeterLink reads.
int runMeters(int argc, char** argv);
