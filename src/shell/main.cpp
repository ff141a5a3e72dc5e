#include "shell/forms/startup.h"

int main(int argc, char* argv[]) {
    return shelvix::shell::runProgram(argc, argv);
}
