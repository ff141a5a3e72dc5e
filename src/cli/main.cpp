#include "cli/backup.h"
#include "cli/commands.h"
#include "cli/transfer.h"
#include "db/engine/error.h"

#include <exception>
#include <iostream>

int main(int argc, char* argv[]) {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return shelvix::cli::runCommand(args, std::cout, std::cerr);
    } catch (const shelvix::cli::UsageError& e) {
        if (!e.message.empty())
            std::cerr << "shelvix-tool: " << e.message << "\n";
        std::cerr << shelvix::cli::kUsage << shelvix::cli::kTransferUsage
                  << shelvix::cli::kBackupUsage;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "shelvix-tool: " << e.what() << "\n";
        return 1;
    }
}
