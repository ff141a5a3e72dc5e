#pragma once

#include <exception>

namespace shelvix::app {

class Prompter;

// Shows an error the program cannot go on from as the "Error" message, its
// text decoded the one way every error is (db::errorText).
void showError(Prompter& prompter, const std::exception& error);

// Tells of the files refused as settings and lists were read (not ordinary
// files, far too large), in one "Warning" message; nothing when none were.
void showRefusedFiles(Prompter& prompter);

} // namespace shelvix::app
