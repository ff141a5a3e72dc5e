#include "transfer/records.h"

#include "db/engine/error.h"
#include "db/engine/replacingfile.h"

#include <cstring>
#include <string>

namespace shelvix::transfer {

void throwFileError(const char* what, const std::filesystem::path& path, int error) {
    throw TransferError(std::string("Cannot ") + what + " " + path.string() + ": " +
                        std::strerror(error));
}

namespace {

template <class Step> void writing(Step step) {
    try {
        step();
    } catch (const db::DatabaseError& e) {
        throw TransferError(e.what());
    }
}

} // namespace

TargetFile::TargetFile(const std::filesystem::path& target) {
    writing([&] { file_ = std::make_unique<db::ReplacingFile>(target); });
}

TargetFile::~TargetFile() = default;

const std::filesystem::path& TargetFile::tempPath() const {
    return file_->tempPath();
}

void TargetFile::close() {
    file_->close();
}

void TargetFile::write(const char* data, std::size_t size) {
    writing([&] { file_->append(data, size); });
}

void TargetFile::commit() {
    writing([&] { file_->commit(); });
}

} // namespace shelvix::transfer
