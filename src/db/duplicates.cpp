#include "db/duplicates.h"

#include "db/engine/table.h"
#include "db/isbn.h"

#include <QString>
#include <algorithm>
#include <array>
#include <functional>
#include <set>
#include <unordered_map>

namespace shelvix::db {

namespace {

std::string_view isbnField() {
    return "ISBN";
}

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

std::uint32_t lowestWithKey(Table& table, int field, const std::string& key,
                            const std::set<std::uint32_t>& candidates) {
    for (std::uint32_t recno : candidates) {
        const RecordView r = table.record(recno);
        if (!r.deleted() && isbn::bookKey(r.text(field)) == key)
            return recno;
    }
    return 0;
}

} // namespace

std::uint32_t findSameIsbn(Table& table, std::string_view isbnText) {
    const auto key = isbn::bookKey(isbnText);
    if (!key)
        return 0;
    const int field = table.fieldIndex(isbnField());
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
            return lowestWithKey(table, field, *key, candidates);
    }
    std::uint32_t first = 0;
    table.scanRecords([&](const RecordView& r) {
        if (r.deleted() || isbn::bookKey(r.text(field)) != key)
            return false;
        first = r.recno();
        return true;
    });
    return first;
}

std::unordered_set<std::string> isbnKeys(Table& table) {
    const int field = table.fieldIndex(isbnField());
    std::unordered_set<std::string> keys;
    table.scanRecords([&](const RecordView& r) {
        if (!r.deleted())
            if (auto key = isbn::bookKey(r.text(field)))
                keys.insert(std::move(*key));
        return false;
    });
    return keys;
}

std::string foldedText(std::string_view bytes, core::CodePage cp) {
    // Each byte's folded form, worked out once per code page.
    static const auto tables = [] {
        std::array<std::array<std::string, 256>, 2> t;
        for (const core::CodePage page : {core::CodePage::Windows1252, core::CodePage::Cp437}) {
            for (int b = 0; b < 256; ++b) {
                const char32_t ch = core::decodeByte(static_cast<unsigned char>(b), page);
                const QString decomposed =
                    QString::fromUcs4(&ch, 1).normalized(QString::NormalizationForm_KD);
                QString kept;
                for (const QChar c : decomposed)
                    if (!c.isMark() && !c.isSpace())
                        kept += c;
                t[std::size_t(page)][std::size_t(b)] = kept.toCaseFolded().toStdString();
            }
        }
        return t;
    }();
    const auto& table = tables[std::size_t(cp)];
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes)
        out += table[static_cast<unsigned char>(c)];
    return out;
}

std::vector<std::vector<std::uint32_t>> duplicateGroups(Table& table, DuplicatesBy by) {
    const core::CodePage cp = table.codePage();
    const int isbn = table.fieldIndex(isbnField());
    const int title = table.fieldIndex("TITLE");
    const int author = table.fieldIndex("AUTHOR");
    // The key of a record, or nothing when it takes part in no group.
    const auto keyOf = [&](const RecordView& r, std::string& key) {
        if (by == DuplicatesBy::Isbn) {
            auto k = isbn::bookKey(r.text(isbn));
            if (!k)
                return false;
            key = std::move(*k);
            return true;
        }
        const std::string_view t = r.text(title), a = r.text(author);
        if (t.empty() && a.empty())
            return false;
        key = foldedText(t, cp);
        key += '\x1f';
        key += foldedText(a, cp);
        return true;
    };

    // One pass keeps only a hash of each key; the records whose hashes meet
    // are read again and grouped by their keys themselves.
    std::vector<std::pair<std::size_t, std::uint32_t>> hashes;
    std::string key;
    table.scanRecords([&](const RecordView& r) {
        if (!r.deleted() && keyOf(r, key))
            hashes.emplace_back(std::hash<std::string>{}(key), r.recno());
        return false;
    });
    std::sort(hashes.begin(), hashes.end());

    std::vector<std::vector<std::uint32_t>> groups;
    for (std::size_t i = 0; i < hashes.size();) {
        std::size_t j = i + 1;
        while (j < hashes.size() && hashes[j].first == hashes[i].first)
            ++j;
        if (j - i > 1) {
            std::unordered_map<std::string, std::vector<std::uint32_t>> byKey;
            for (std::size_t k = i; k < j; ++k)
                if (keyOf(table.record(hashes[k].second), key))
                    byKey[key].push_back(hashes[k].second);
            for (auto& [_, records] : byKey)
                if (records.size() > 1)
                    groups.push_back(std::move(records));
        }
        i = j;
    }
    std::sort(groups.begin(), groups.end());
    return groups;
}

} // namespace shelvix::db
