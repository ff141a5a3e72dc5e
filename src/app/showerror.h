#pragma once

#include <exception>

namespace shelvix::app {

class Prompter;

// Shows an error the program cannot go on from as the "Error" message, its
// text decoded the one way every error is (db::errorText).
void showError(Prompter& prompter, const std::exception& error);

} // namespace shelvix::app
