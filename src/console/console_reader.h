#pragma once

// The console key reader: one key press from the process's console, without
// echo and without Enter. An extended key comes as two results, its prefix
// (0 or 224) now and its code at the next call, on whichever thread that
// call comes. -1: there is no console input to read.
namespace vantrel {

int readConsoleKey();

}  // namespace vantrel
