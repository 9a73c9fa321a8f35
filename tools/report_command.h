#pragma once
// meterlink-cli report IN OUT.pdf: the printed report of a log file, as PDF.

int runReport(int argc, char** argv);
