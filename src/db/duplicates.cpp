#include "db/duplicates.h"

#include "db/engine/table.h"
#include "db/isbn.h"

#include <QString>
#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <set>

namespace shelvix::db {

namespace {

constexpr std::string_view kIsbnField = "ISBN";

// Finds the records whose ISBN may spell `digits` through a tag that begins
// with the ISBN field: the keys that do are those that start with optional
// blanks, then ="  or [ or nothing, then the digits with blanks and hyphens
// between them. Each step tries the few characters that may come next and
// goes on only where some key starts so, so the walk costs a few seeks per
// spelling the catalogue holds, never a pass over the tag.
class IsbnSpellings {
public:
    IsbnSpellings(Table& table, Table::TextTag tag, int width, std::set<std::uint32_t>& found)
        : table_(table), tag_(tag), width_(std::size_t(width)), found_(found) {}

    // False when the index could not answer.
    bool find(const std::string& digits) {
        digits_ = digits;
        walk(std::string(), At::Start, 0);
        return answered_;
    }

private:
    enum class At { Start, AfterEquals, Inside };

    bool anyKeyStarts(const std::string& prefix) {
        bool hit = false;
        answered_ &= table_.walkKeys(tag_.tag, prefix, [&](std::string_view key, std::uint32_t) {
            hit = key.starts_with(prefix);
            return true;
        });
        return hit;
    }

    void collect(const std::string& prefix) {
        answered_ &=
            table_.walkKeys(tag_.tag, prefix, [&](std::string_view key, std::uint32_t recno) {
                if (!key.starts_with(prefix))
                    return true;
                found_.insert(recno);
                return false;
            });
    }

    void step(const std::string& prefix, char c, At at, std::size_t pos) {
        const std::string next = prefix + c;
        if (anyKeyStarts(next))
            walk(next, at, pos);
    }

    void walk(const std::string& prefix, At at, std::size_t pos) {
        if (!answered_)
            return;
        if (at == At::Inside && pos == digits_.size()) {
            collect(prefix);
            return;
        }
        // The key holds the whole field: the digits left must fit in it.
        if (prefix.size() + (digits_.size() - pos) > width_)
            return;
        switch (at) {
        case At::Start:
            step(prefix, ' ', At::Start, 0);
            step(prefix, '=', At::AfterEquals, 0);
            step(prefix, '[', At::Inside, 0);
            step(prefix, '-', At::Inside, 0);
            break;
        case At::AfterEquals:
            step(prefix, '"', At::Inside, 0);
            return;
        case At::Inside:
            step(prefix, ' ', At::Inside, pos);
            step(prefix, '-', At::Inside, pos);
            break;
        }
        const char d = digits_[pos];
        step(prefix, d, At::Inside, pos + 1);
        if (d == 'X' && !tag_.upper)
            step(prefix, 'x', At::Inside, pos + 1);
    }

    Table& table_;
    Table::TextTag tag_;
    std::size_t width_;
    std::set<std::uint32_t>& found_;
    std::string digits_;
    bool answered_ = true;
};

std::uint32_t lowestWithKey(Table& table, int field, std::uint64_t key,
                            const std::set<std::uint32_t>& candidates) {
    for (std::uint32_t recno : candidates) {
        const RecordView r = table.record(recno);
        if (!r.deleted() && isbn::bookNumber(r.text(field)) == key)
            return recno;
    }
    return 0;
}

// Each byte of a code page as title and author compare it: its letters
// without case and accents, nothing for a blank.
struct Folded {
    char bytes[8] = {};
    std::uint8_t size = 0;
};
using FoldTable = std::array<Folded, 256>;

const FoldTable& foldTable(core::CodePage cp) {
    static const auto tables = [] {
        std::array<FoldTable, 2> t;
        for (const core::CodePage page : {core::CodePage::Windows1252, core::CodePage::Cp437}) {
            for (int b = 0; b < 256; ++b) {
                const char32_t ch = core::decodeByte(static_cast<unsigned char>(b), page);
                const QString decomposed =
                    QString::fromUcs4(&ch, 1).normalized(QString::NormalizationForm_KD);
                QString kept;
                for (const QChar c : decomposed)
                    if (!c.isMark() && !c.isSpace())
                        kept += c;
                const std::string utf8 = kept.toCaseFolded().toStdString();
                Folded& f = t[std::size_t(page)][std::size_t(b)];
                f.size = std::uint8_t(std::min(utf8.size(), sizeof f.bytes));
                std::copy_n(utf8.data(), f.size, f.bytes);
            }
        }
        return t;
    }();
    return tables[std::size_t(cp)];
}

// Appends the folded bytes to `out`, a buffer a pass reuses.
void appendFolded(std::string_view bytes, const FoldTable& table, std::string& out) {
    for (const char c : bytes) {
        const Folded& f = table[static_cast<unsigned char>(c)];
        out.append(f.bytes, f.size);
    }
}

} // namespace

std::uint32_t findSameIsbn(Table& table, std::string_view isbnText) {
    const auto key = isbn::bookKey(isbnText);
    if (!key)
        return 0;
    const std::uint64_t number = *isbn::bookNumber(isbnText);
    const int field = table.fieldIndex(kIsbnField);
    if (const auto tag = table.textTag(field)) {
        // The spellings of the same book: a valid ISBN as 13 digits and, from
        // 978, as 10; one with a wrong check digit only as it stands.
        std::vector<std::string> forms{*key};
        if (isbn::check(isbnText) == isbn::Status::Valid)
            if (const auto ten = isbn::toIsbn10(*key))
                forms.push_back(*ten);
        std::set<std::uint32_t> candidates;
        IsbnSpellings spellings(table, *tag, table.field(field).length, candidates);
        bool answered = true;
        for (const std::string& form : forms)
            answered = answered && spellings.find(form);
        if (answered)
            return lowestWithKey(table, field, number, candidates);
    }
    std::uint32_t first = 0;
    table.scanRecords([&](const RecordView& r) {
        if (r.deleted() || isbn::bookNumber(r.text(field)) != number)
            return false;
        first = r.recno();
        return true;
    });
    return first;
}

bool IsbnNumbers::insert(std::uint64_t number) {
    if ((size_ + 1) * 2 > slots_.size())
        grow();
    const std::uint64_t held = number + 1;
    const std::size_t mask = slots_.size() - 1;
    // The multiplier spreads numbers that differ in their low digits.
    for (std::size_t i = std::size_t(held * 0x9E3779B97F4A7C15ull >> 20) & mask;;
         i = (i + 1) & mask) {
        if (slots_[i] == held)
            return false;
        if (slots_[i] == 0) {
            slots_[i] = held;
            ++size_;
            return true;
        }
    }
}

void IsbnNumbers::grow() {
    std::vector<std::uint64_t> old = std::move(slots_);
    slots_.assign(std::max<std::size_t>(64, old.size() * 2), 0);
    size_ = 0;
    for (const std::uint64_t held : old)
        if (held)
            insert(held - 1);
}

IsbnNumbers isbnNumbers(Table& table) {
    const int field = table.fieldIndex(kIsbnField);
    IsbnNumbers numbers;
    table.scanRecords([&](const RecordView& r) {
        if (!r.deleted())
            if (const auto n = isbn::bookNumber(r.text(field)))
                numbers.insert(*n);
        return false;
    });
    return numbers;
}

std::string foldedText(std::string_view bytes, core::CodePage cp) {
    std::string out;
    appendFolded(bytes, foldTable(cp), out);
    return out;
}

std::vector<std::vector<std::uint32_t>> duplicateGroups(Table& table, DuplicatesBy by) {
    const core::CodePage cp = table.codePage();
    const FoldTable& fold = foldTable(cp);
    const int isbn = table.fieldIndex(kIsbnField);
    const int title = table.fieldIndex("TITLE");
    const int author = table.fieldIndex("AUTHOR");
    const bool byIsbn = by == DuplicatesBy::Isbn;

    // One pass keeps a number per record: the ISBN's key itself, or a hash
    // of title and author folded.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keys;
    std::string folded;
    table.scanRecords([&](const RecordView& r) {
        if (r.deleted())
            return false;
        if (byIsbn) {
            if (const auto n = isbn::bookNumber(r.text(isbn)))
                keys.emplace_back(*n, r.recno());
            return false;
        }
        const std::string_view t = r.text(title), a = r.text(author);
        if (t.empty() && a.empty())
            return false;
        folded.clear();
        appendFolded(t, fold, folded);
        folded += '\x1f';
        appendFolded(a, fold, folded);
        keys.emplace_back(std::hash<std::string>{}(folded), r.recno());
        return false;
    });
    std::sort(keys.begin(), keys.end());

    std::vector<std::vector<std::uint32_t>> groups;
    for (std::size_t i = 0; i < keys.size();) {
        std::size_t j = i + 1;
        while (j < keys.size() && keys[j].first == keys[i].first)
            ++j;
        if (j - i > 1 && byIsbn) {
            std::vector<std::uint32_t>& g = groups.emplace_back();
            for (std::size_t k = i; k < j; ++k)
                g.push_back(keys[k].second);
        } else if (j - i > 1) {
            // Records whose hashes meet are read again and grouped by their
            // texts themselves.
            std::map<std::string, std::vector<std::uint32_t>> byText;
            for (std::size_t k = i; k < j; ++k) {
                const RecordView r = table.record(keys[k].second);
                byText[foldedText(r.text(title), cp) + '\x1f' + foldedText(r.text(author), cp)]
                    .push_back(keys[k].second);
            }
            for (auto& [_, records] : byText)
                if (records.size() > 1)
                    groups.push_back(std::move(records));
        }
        i = j;
    }
    std::sort(groups.begin(), groups.end());
    return groups;
}

} // namespace shelvix::db
