#pragma once
// The loaders' diagnostic lines (per-corner normal traces, element counts) are written only when
// the piece runs with --verbose: a windowed program's output was never meant to be read, and here
// it would flood the terminal.
extern bool g_verbose;
