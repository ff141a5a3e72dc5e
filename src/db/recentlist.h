#pragma once

#include <QString>
#include <array>

namespace shelvix::db {

// The five recently opened databases of the File menu, most recent first.
// An empty entry is an unused slot.
// Two paths name the same file when their texts are equal or the file
// system says they are one file (links, "..", another spelling).
bool sameFile(const QString& a, const QString& b);

class RecentList {
public:
    static constexpr int kSize = 5;
    using Entries = std::array<QString, kSize>;

    RecentList() = default;
    explicit RecentList(const Entries& entries) : entries_(entries) {}

    const Entries& entries() const { return entries_; }
    const QString& entry(int number) const { return entries_.at(number - 1); } // 1 to 5

    // After switching from `oldPath` to `newPath`: the new database leaves
    // the list (see sameFile) and the old one goes on top.
    void DoLastFiles(const QString& oldPath, const QString& newPath);

    struct MenuItem {
        bool visible = false;
        QString caption;
    };
    struct Menu {
        bool separatorVisible = false;
        std::array<MenuItem, kSize> items;
    };
    // The state of the five File menu items and the separator above them.
    Menu SetMenuLastFiles() const;

    bool operator==(const RecentList&) const = default;

private:
    Entries entries_;
};

} // namespace shelvix::db
