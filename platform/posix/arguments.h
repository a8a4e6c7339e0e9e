// The command line as the system handed it to main.
#pragma once

// Keeps main's own argument vector: its bytes are what ps and
// /proc/PID/cmdline read, so hiding an argument means overwriting them.
void RememberProcessArguments(int argc, char* argv[]);
