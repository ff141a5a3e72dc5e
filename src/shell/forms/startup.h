#pragma once

#include <functional>

namespace shelvix::shell {

class TMain;

// The program, from its command line to the end of its event loop, as main()
// runs it. `ready`, when given, sees the main window just before it shows
// (the launch benchmark watches it paint).
int runProgram(int argc, char* argv[], const std::function<void(TMain&)>& ready = {});

} // namespace shelvix::shell
