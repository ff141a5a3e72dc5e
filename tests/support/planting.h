#pragma once
// A folder shared with someone who plants links where our files will go.

#include "db/engine/file.h"
#include "support/forwardingfile.h"

#include <filesystem>
#include <memory>
#include <utility>

namespace shelvix::test {

// Plants a link to `victim` at the name of each of the first `plants` new
// files just before they are created, as someone sharing the folder could;
// `everyOther` lets each try after a planted one through, so that every
// file made gets one planted before it.
class PlantingFileSystem final : public NativeNamesFileSystem {
public:
    PlantingFileSystem(std::filesystem::path victim, int plants, bool everyOther = false)
        : victim_(std::move(victim)), left_(plants), everyOther_(everyOther) {}
    std::unique_ptr<db::File> open(const std::filesystem::path& p, db::FileMode mode) override {
        if (mode == db::FileMode::CreateNew) {
            const bool plant = left_ > 0 && !(everyOther_ && justPlanted_);
            if (plant) {
                std::filesystem::create_symlink(victim_, p);
                --left_;
                ++planted;
            }
            justPlanted_ = plant;
        }
        return native().open(p, mode);
    }

    int planted = 0;

private:
    std::filesystem::path victim_;
    int left_;
    bool everyOther_;
    bool justPlanted_ = false;
};

} // namespace shelvix::test
