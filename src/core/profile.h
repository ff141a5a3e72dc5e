#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace shelvix::core {

// Reading rules of settings values. Numbers are read from their first 15
// characters: leading blanks, an optional sign, then decimal digits or "$"
// and hexadecimal digits. A text that is not such a number counts as the
// digits it begins with (after blanks, sign and "$"), without the sign, so
// "-12abc" reads 12 and "abc" reads 0. Decimal values beyond 32 bits are
// clamped; "$FFFFFFFF" is the 32-bit pattern -1.
std::int32_t parseProfileInt(std::string_view text);
// True exactly when the first 15 characters in capitals are "YES".
bool parseProfileYes(std::string_view text);

inline constexpr std::size_t kProfileNumberLength = 15;
inline constexpr std::size_t kProfileTextLength = 250;

// A private-profile (INI) file: sections of "key=value" lines. The file is
// read once by load(); reads and writes work on memory; db::saveProfile
// writes it back once. Section and key names match without regard to ASCII case, values are
// trimmed. Values are Windows-1252 bytes, stored as given.
//
// A write changes the key's line in place (the first one when a key is
// repeated) or adds it at the end of its section; comments, unrelated
// sections and the order of keys survive. Lines that are neither comments,
// section headers nor key=value lines are dropped, and blank lines between
// entries are tidied. Line ends stay CR LF when the file had them.
class Profile {
public:
    Profile();
    ~Profile();
    Profile(Profile&&) noexcept;
    Profile& operator=(Profile&&) noexcept;
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;

    // A missing file is an empty profile, never an error. A file that exists
    // but cannot be read also reads as empty, and is never replaced.
    static Profile load(const std::filesystem::path& path);
    static Profile fromText(std::string_view text);

    const std::filesystem::path& path() const;
    void setPath(const std::filesystem::path& path);
    // Whether the file was there when it was loaded.
    bool existed() const;

    bool hasSection(std::string_view section) const;
    bool hasKey(std::string_view section, std::string_view key) const;

    // The value cut to maxLength characters, or `def` when the key is missing.
    std::string readString(std::string_view section, std::string_view key, std::string_view def,
                           std::size_t maxLength = kProfileTextLength) const;
    std::int32_t readInt(std::string_view section, std::string_view key, std::int32_t def) const;
    bool readBool(std::string_view section, std::string_view key, bool def) const;

    // Line breaks in a value are written as blanks so that a value can never
    // add lines of its own.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInt(std::string_view section, std::string_view key, std::int64_t value);
    void writeBool(std::string_view section, std::string_view key, bool value);
    // The section and every key in it; a section written afterwards goes at
    // the end of the file.
    void removeSection(std::string_view section);

    // The file text a save writes.
    std::string text() const;

    // The file was there but could not be read: saving it (db::saveProfile)
    // would lose what it holds, so that refuses.
    bool unreadable() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace shelvix::core
