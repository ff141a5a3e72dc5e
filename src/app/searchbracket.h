#pragma once

#include <functional>

namespace shelvix::app {

// Work over the entire catalogue while a search is in force (an export, a
// printed report) ends the search for its length and brings it back
// afterwards, whatever happens: criteria, filter, first match and count.
// find::Search owns the window's one bracket and gives it what ending and
// bringing back mean; the work holds what end() returns while it runs.
class SearchBracket {
public:
    struct Steps {
        std::function<bool()> searchOn;
        std::function<void()> end; // may reopen the table without the filter
        std::function<void()> bringBack;
    };
    explicit SearchBracket(Steps steps) : steps_(std::move(steps)) {}
    SearchBracket(const SearchBracket&) = delete;
    SearchBracket& operator=(const SearchBracket&) = delete;

    bool searchOn() const { return steps_.searchOn(); }

    // The search ended, until this goes.
    class Held {
    public:
        Held() = default;
        Held(Held&& other) noexcept : bracket_(other.bracket_) { other.bracket_ = nullptr; }
        Held& operator=(Held&&) = delete;
        ~Held();
        // A search was ended, and comes back.
        bool ended() const { return bracket_ != nullptr; }

    private:
        friend class SearchBracket;
        explicit Held(SearchBracket* bracket) : bracket_(bracket) {}
        SearchBracket* bracket_ = nullptr;
    };

    // Ends the search in force, if there is one.
    [[nodiscard]] Held end();

private:
    Steps steps_;
};

} // namespace shelvix::app
