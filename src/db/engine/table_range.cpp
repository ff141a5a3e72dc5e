// Filters bounded by key ranges: the tags that can answer for a range of a
// field's values, and the records those ranges hold.

#include "db/engine/table_impl.h"
#include "db/engine/value.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace shelvix::db {

namespace {

using Lead = KeyExpression::Lead;

// STR(value, length, decimals) as the key holds it, or nothing when it does
// not fit with a blank in front: only such texts order as their numbers do
// (among numbers that are not negative).
std::optional<std::vector<std::uint8_t>> strText(double value, const Lead& lead) {
    DecimalNumber number;
    if (!decimalFromDouble(value, number))
        return std::nullopt;
    char text[kMaxFixedText];
    const std::size_t n = formatFixed(number, lead.decimals, text);
    const auto width = std::size_t(lead.length);
    if (n >= width)
        return std::nullopt;
    std::vector<std::uint8_t> out(width, ' ');
    std::memcpy(out.data() + (width - n), text, n);
    return out;
}

std::vector<std::uint8_t> dtosText(const Date& d) {
    std::vector<std::uint8_t> out(8);
    formatDateField(d, reinterpret_cast<char*>(out.data()));
    return out;
}

} // namespace

void Table::setFilter(RecordFilter filter, std::vector<KeyRange> within) {
    setFilter(std::move(filter));
    for (const KeyRange& r : within)
        if (r.tag < 0 || !d->mdx || std::size_t(r.tag) >= d->mdx->tags().size())
            throw DatabaseError("A key range names no tag of " + d->name,
                                DatabaseError::Kind::InvalidValue);
    d->within = std::move(within);
    d->bounded = true;
}

// A tag whose keys follow our rules and hold every record once, led by the
// field in the form asked for; the selected tag first, since walking it
// gives the rows in their order.
std::optional<std::pair<int, Lead>> Table::Impl::leadingTag(int field,
                                                            bool (*usable)(const Lead&)) const {
    if (!mdx || needsRebuild || mdx->interrupted())
        return std::nullopt;
    std::optional<std::pair<int, Lead>> best;
    for (std::size_t i = 0; i < exprs.size(); ++i) {
        const TagInfo& info = mdx->tags()[i];
        if (!exprs[i] || !exprErrors[i].empty() || info.descending || info.unique ||
            !info.forExpression.empty())
            continue;
        const auto lead = exprs[i]->lead();
        if (!lead || lead->field != field || !usable(*lead))
            continue;
        if (int(i) == selected)
            return std::make_pair(int(i), *lead);
        if (!best)
            best = std::make_pair(int(i), *lead);
    }
    return best;
}

std::optional<std::vector<KeyRange>> Table::rangeOfNumbers(int field, std::optional<double> low,
                                                           std::optional<double> high) const {
    const auto found = d->leadingTag(field, [](const Lead& l) {
        return l.form == Lead::Form::Bare || l.form == Lead::Form::Str;
    });
    if (!found)
        return std::nullopt;
    const auto& [tag, lead] = *found;
    KeyRange r;
    r.tag = tag;
    if (lead.form == Lead::Form::Bare) {
        // The key holds the value as the filter reads it; equal values give
        // equal keys, and larger ones no smaller keys.
        if (low) {
            r.low.resize(kNumericKeyLength);
            encodeNumericKey(*low, r.low.data());
        }
        if (high) {
            r.high.resize(kNumericKeyLength);
            encodeNumericKey(*high, r.high.data());
        }
        return std::vector<KeyRange>{std::move(r)};
    }
    // STR() texts order as their numbers only from zero up and while they
    // fit: negative numbers (and blanks, read as 0) lie elsewhere, so a range
    // without a low bound cannot be served. The stored decimals are rounded
    // from their own digits, so the bounds are widened by one step of the
    // double to hold every stored number that reads as a value in range.
    if (!low || *low < 0)
        return std::nullopt;
    const double from = std::max(0.0, std::nextafter(*low, -1.0));
    auto lowText = strText(from, lead);
    if (!lowText)
        return std::nullopt;
    r.low = std::move(*lowText);
    if (high) {
        // A high bound that does not fit leaves the range open: numbers too
        // wide for the text (digits or asterisks) sort after every text with
        // a blank in front.
        if (auto highText = strText(std::nextafter(*high, HUGE_VAL), lead))
            r.high = std::move(*highText);
    }
    return std::vector<KeyRange>{std::move(r)};
}

std::optional<std::vector<KeyRange>> Table::rangeOfDates(int field, std::optional<Date> low,
                                                         std::optional<Date> high,
                                                         bool blanks) const {
    const auto found = d->leadingTag(field, [](const Lead& l) {
        return l.form == Lead::Form::Bare || l.form == Lead::Form::Dtos;
    });
    if (!found)
        return std::nullopt;
    const auto& [tag, lead] = *found;
    // A blank or impossible date keys lowest of all: as a Julian day of 0,
    // or as eight blanks.
    auto encode = [&](const std::optional<Date>& date) {
        if (lead.form == Lead::Form::Dtos)
            return date ? dtosText(*date) : std::vector<std::uint8_t>(8, ' ');
        std::vector<std::uint8_t> k(kDateKeyLength);
        encodeDateKey(date, k.data());
        return k;
    };
    std::vector<KeyRange> out;
    KeyRange r;
    r.tag = tag;
    if (low)
        r.low = encode(low);
    if (high)
        r.high = encode(high);
    if (blanks && low) {
        KeyRange b;
        b.tag = tag;
        b.low = b.high = encode(std::nullopt);
        out.push_back(std::move(b));
    }
    out.push_back(std::move(r));
    return out;
}

std::optional<Table::TextTag> Table::textTag(int field) const {
    if (!d->mdx || d->needsRebuild || d->mdx->interrupted() || field < 0 ||
        std::size_t(field) >= d->layout.fields().size())
        return std::nullopt;
    const int width = d->layout.fields()[std::size_t(field)].length;
    for (std::size_t i = 0; i < d->exprs.size(); ++i) {
        const TagInfo& info = d->mdx->tags()[i];
        // A FOR tag holds only some records, a unique one only the first of
        // equal keys; a descending one runs the other way.
        if (!d->exprs[i] || !d->exprErrors[i].empty() || info.type != KeyType::Character ||
            info.unique || info.descending || !info.forExpression.empty())
            continue;
        const auto lead = d->exprs[i]->textLead();
        if (lead && lead->field == field && lead->length >= width)
            return TextTag{int(i), lead->upper};
    }
    return std::nullopt;
}

bool Table::walkKeys(int tag, std::string_view prefix,
                     const std::function<bool(std::string_view, std::uint32_t)>& visit) {
    d->settleAppends(false);
    if (!d->mdx || tag < 0 || std::size_t(tag) >= d->mdx->tags().size())
        throw DatabaseError("A key walk names no tag of " + d->name,
                            DatabaseError::Kind::InvalidValue);
    // Visits only read: the walk sees the index as it stands between changes.
    Impl::ReadSection section(*d);
    if (d->needsRebuild || d->mdx->interrupted())
        return false;
    const auto length = std::size_t(d->mdx->tags()[std::size_t(tag)].keyLength);
    auto c = d->mdx->cursor(tag);
    bool more = prefix.empty() ? c->first()
                               : c->seek(reinterpret_cast<const std::uint8_t*>(prefix.data()),
                                         std::min(prefix.size(), length));
    for (; more; more = c->next()) {
        const KeyEntry e = c->current();
        if (visit(std::string_view(reinterpret_cast<const char*>(e.key), length), e.recno))
            break;
    }
    return true;
}

void Table::scanRecords(const std::function<bool(const RecordView&)>& visit) {
    d->settleAppends(false);
    Streamer s(*d->file, d->hdr, d->count());
    std::uint32_t recno = 0;
    while (const std::uint8_t* rec = s.next(recno))
        if (visit(RecordView(rec, &d->layout, recno)))
            return;
}

// Whether the key lies in the range, each bound compared over its length.
bool Table::Impl::inRange(const KeyRange& r, const std::uint8_t* key, bool& past) const {
    const TagInfo& info = mdx->tags()[std::size_t(r.tag)];
    past = !r.high.empty() && compareKeys(info.type, key, r.high.data(), r.high.size()) > 0;
    return !past && (r.low.empty() || compareKeys(info.type, key, r.low.data(), r.low.size()) >= 0);
}

// Every record the ranges hold (deleted ones too), each once, in the order of
// the walks: by record number unless `inTagOrder`.
std::vector<std::uint32_t> Table::Impl::candidates(bool inTagOrder) {
    std::vector<KeyRange> ranges = within;
    // In key order of their low bounds: walked so, the records of overlapping
    // ranges come out in key order with the repeats left out.
    if (inTagOrder)
        std::stable_sort(ranges.begin(), ranges.end(), [&](const KeyRange& a, const KeyRange& b) {
            if (a.low.empty() || b.low.empty())
                return a.low.empty() && !b.low.empty();
            const TagInfo& info = mdx->tags()[std::size_t(a.tag)];
            const std::size_t n = std::min(a.low.size(), b.low.size());
            const int c = compareKeys(info.type, a.low.data(), b.low.data(), n);
            return c != 0 ? c < 0 : a.low.size() < b.low.size();
        });
    std::vector<std::uint32_t> out;
    std::vector<bool> seen(std::size_t(count()) + 1, false);
    for (const KeyRange& r : ranges) {
        auto c = mdx->cursor(r.tag);
        bool more = r.low.empty() ? c->first() : c->seek(r.low.data(), r.low.size());
        for (; more; more = c->next()) {
            const KeyEntry e = c->current();
            bool past = false;
            if (!inRange(r, e.key, past)) {
                if (past)
                    break;
                continue;
            }
            if (e.recno >= 1 && e.recno <= count() && !seen[e.recno]) {
                seen[e.recno] = true;
                out.push_back(e.recno);
            }
        }
    }
    if (!inTagOrder)
        std::sort(out.begin(), out.end());
    return out;
}

} // namespace shelvix::db
