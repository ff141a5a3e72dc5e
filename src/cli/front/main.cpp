#include "cli/plain/front.h"

#include <dlfcn.h>
#include <exception>
#include <iostream>

// Started without Qt: `info` and `dump` run here; every other command line
// goes to the module that holds all the commands, loaded only then.
int main(int argc, char* argv[]) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (const auto status = shelvix::cli::runPlain(args, std::cout, std::cerr))
        return *status;
    std::string module;
    try {
        module = shelvix::cli::companionModule("shelvix-commands.so").string();
    } catch (const std::exception& e) {
        std::cerr << "shelvix-tool: " << e.what() << "\n";
        return 1;
    }
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    using Run = int (*)(int, char**);
    Run run = handle ? reinterpret_cast<Run>(dlsym(handle, "shelvix_run_commands")) : nullptr;
    if (!run) {
        std::cerr << "shelvix-tool: cannot load " << module << ": " << dlerror() << "\n";
        return 1;
    }
    return run(argc, argv);
}
