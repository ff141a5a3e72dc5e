#include "find/searchfilter.h"

#include "core/text.h"
#include "db/fieldtable.h"
#include "db/textcodec.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace shelvix::find {

namespace {

constexpr std::int32_t kDayZero = 18991230; // an empty date

// Does the upper-cased needle occur in the value upper-cased (a to z only)?
// Candidates for the first character are found with memchr, in both cases
// when it is a letter, since most bytes of a field never start a match.
bool containsUpper(std::string_view value, std::string_view needle) {
    const std::size_t n = needle.size();
    if (n == 0)
        return true;
    if (value.size() < n)
        return false;
    const char* const data = value.data();
    const std::size_t last = value.size() - n; // the last possible start
    const char upper = needle[0];
    const char lower = (upper >= 'A' && upper <= 'Z') ? char(upper - 'A' + 'a') : upper;
    auto find = [&](char c, std::size_t from) -> std::size_t {
        if (from > last)
            return std::string_view::npos;
        const void* p = std::memchr(data + from, c, last - from + 1);
        return p ? std::size_t(static_cast<const char*>(p) - data) : std::string_view::npos;
    };
    std::size_t nextUpper = find(upper, 0);
    std::size_t nextLower = lower == upper ? std::string_view::npos : find(lower, 0);
    while (nextUpper != std::string_view::npos || nextLower != std::string_view::npos) {
        const std::size_t i = std::min(nextUpper, nextLower);
        std::size_t j = 1;
        while (j < n && core::toUpperAscii(data[i + j]) == needle[j])
            ++j;
        if (j == n)
            return true;
        if (i == nextUpper)
            nextUpper = find(upper, i + 1);
        else
            nextLower = find(lower, i + 1);
    }
    return false;
}

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// A stored number. Plain decimals of up to 15 digits (all our fields hold)
// are exact as integer / power of ten, the same double the full parser
// gives; anything else goes to it. Blank and junk read as 0.
double readNumber(const db::RecordView& record, int field) {
    std::string_view raw = record.raw(field);
    std::size_t i = 0, end = raw.size();
    while (i < end && raw[i] == ' ')
        ++i;
    while (end > i && raw[end - 1] == ' ')
        --end;
    if (i == end)
        return 0;
    bool negative = false;
    if (raw[i] == '-') {
        negative = true;
        ++i;
    }
    std::uint64_t mantissa = 0;
    int digits = 0, decimals = 0;
    bool point = false, any = false;
    for (; i < end; ++i) {
        const char c = raw[i];
        if (c >= '0' && c <= '9') {
            if (mantissa != 0 || c != '0')
                ++digits;
            mantissa = mantissa * 10 + std::uint64_t(c - '0');
            decimals += point ? 1 : 0;
            any = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
        if (digits > 15)
            break;
    }
    if (i != end || !any || decimals > 22)
        return record.number(field).value_or(0.0);
    const double v = double(mantissa) / kPow10[decimals];
    return negative ? -v : v;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && (year % 4 == 0 && (year % 100 != 0 || year % 400 == 0)))
        return 29;
    return kDays[month - 1];
}

// A stored date as YYYYMMDD, which orders as the day count does; blank and
// impossible dates read as day 0.
std::int32_t readDate(const db::RecordView& record, int field) {
    std::string_view raw = record.raw(field);
    if (raw.size() == 8) {
        std::int32_t v = 0;
        bool digits = true;
        for (char c : raw) {
            if (c < '0' || c > '9') {
                digits = false;
                break;
            }
            v = v * 10 + (c - '0');
        }
        if (digits) {
            const int year = v / 10000, month = v / 100 % 100, day = v % 100;
            if (year >= 1 && month >= 1 && month <= 12 && day >= 1 &&
                day <= daysInMonth(year, month))
                return v;
            return kDayZero;
        }
    }
    if (auto d = record.date(field))
        return d->year * 10000 + d->month * 100 + d->day;
    return kDayZero;
}

template <class T> bool compare(int op, T value, T operand) {
    switch (op) {
    case OpEqual:
        return value == operand;
    case OpGreater:
        return value > operand;
    case OpLess:
        return value < operand;
    default:
        return true;
    }
}

std::optional<db::Date> dateOf(std::int32_t ymd) {
    const int year = ymd / 10000;
    if (year < 1 || year > 9999)
        return std::nullopt;
    return db::Date{year, ymd / 100 % 100, ymd % 100};
}

} // namespace

// The ranges of one level's items on `field`, all AND-ed: the tightest
// bounds they give. Nothing when no tag serves them.
template <class Test>
std::optional<std::vector<db::KeyRange>> levelRanges(const std::vector<Test>& level, int field,
                                                     const db::Table& table) {
    bool isDate = false;
    std::optional<double> low, high;
    std::optional<std::int32_t> lowDay, highDay;
    for (const Test& t : level) {
        if (t.field != field || (t.kind != Test::Number && t.kind != Test::Date))
            continue;
        isDate = t.kind == Test::Date;
        if (isDate) {
            if (t.op == OpEqual || t.op == OpGreater)
                lowDay = std::max(lowDay.value_or(t.ymd), t.ymd);
            if (t.op == OpEqual || t.op == OpLess)
                highDay = std::min(highDay.value_or(t.ymd), t.ymd);
        } else {
            if (t.op == OpEqual || t.op == OpGreater)
                low = std::max(low.value_or(t.number), t.number);
            if (t.op == OpEqual || t.op == OpLess)
                high = std::min(high.value_or(t.number), t.number);
        }
    }
    if (!isDate)
        return table.rangeOfNumbers(field, low, high);
    // A blank or impossible date reads as day 0.
    const bool blanks =
        lowDay.value_or(kDayZero) <= kDayZero && kDayZero <= highDay.value_or(kDayZero);
    std::optional<db::Date> from, to;
    if (lowDay && !(from = dateOf(*lowDay)))
        return std::nullopt;
    if (highDay && !(to = dateOf(*highDay)))
        return std::nullopt;
    return table.rangeOfDates(field, from, to, blanks);
}

SearchFilter::SearchFilter()
    : levels_(std::make_shared<std::vector<Level>>()),
      ranges_(
          std::make_shared<std::optional<std::vector<db::KeyRange>>>(std::vector<db::KeyRange>{})) {
}

void SearchFilter::applyTo(db::Table& table) const {
    if (ranges())
        table.setFilter(*this, *ranges());
    else
        table.setFilter(*this);
}

SearchFilter::SearchFilter(const std::vector<SearchItem>& items, const db::Table& table) {
    const auto cp = table.codePage();
    auto levels = std::make_shared<std::vector<Level>>();
    Level level;
    for (const SearchItem& item : items) {
        Test t;
        t.field = table.fieldIndex(db::fieldInfo(item.FieldNo).name);
        t.op = item.Op;
        switch (item.Op) {
        case OpEqual:
        case OpGreater:
        case OpLess:
            if (item.IsDate) {
                const QDate d = daysToDate(item.DateValue);
                t.kind = Test::Date;
                t.ymd = d.year() * 10000 + d.month() * 100 + d.day();
            } else {
                t.kind = Test::Number;
                t.number = item.NumValue;
            }
            level.push_back(std::move(t));
            break;
        case OpContains: {
            t.kind = Test::Contains;
            // A text the code page cannot hold occurs nowhere in the table.
            auto needle = db::encodeField(item.Text, cp);
            t.never = !needle;
            t.needle = std::move(needle).value_or(std::string());
            level.push_back(std::move(t));
            break;
        }
        case OpAnyWord: {
            t.kind = Test::AnyWord;
            // Empty words (two blanks in a row) never occur; nor does a word
            // the code page cannot hold.
            for (const QString& w : item.Text.split(u' ', Qt::SkipEmptyParts))
                if (auto bytes = db::encodeField(w, cp))
                    t.words.push_back(std::move(*bytes));
            level.push_back(std::move(t));
            break;
        }
        default:
            break; // any other operator changes nothing
        }
        if (item.LevelEnd) {
            // Cheap tests first: a level's items are AND-ed, so order does
            // not change the result, only how soon a failing level stops.
            std::stable_partition(level.begin(), level.end(), [](const Test& x) {
                return x.kind == Test::Number || x.kind == Test::Date;
            });
            levels->push_back(std::move(level));
            level.clear();
        }
    }
    // Items after the last level end belong to no level and pass nothing.
    levels_ = std::move(levels);

    // Each level that can pass needs a range; one without any sends the
    // search through the whole table.
    std::optional<std::vector<db::KeyRange>> ranges(std::vector<db::KeyRange>{});
    for (const Level& l : *levels_) {
        if (std::any_of(l.begin(), l.end(), [](const Test& t) {
                return (t.kind == Test::Contains && t.never) ||
                       (t.kind == Test::AnyWord && t.words.empty());
            }))
            continue; // passes nothing
        std::optional<std::vector<db::KeyRange>> found;
        // Fields compared for equality first: their ranges are the narrowest.
        for (int pass = 0; pass < 2 && !found; ++pass)
            for (const Test& t : l) {
                if ((t.kind != Test::Number && t.kind != Test::Date) ||
                    (pass == 0) != (t.op == OpEqual))
                    continue;
                if ((found = levelRanges(l, t.field, table)))
                    break;
            }
        if (!found) {
            ranges.reset();
            break;
        }
        ranges->insert(ranges->end(), found->begin(), found->end());
    }
    ranges_ = std::make_shared<const std::optional<std::vector<db::KeyRange>>>(std::move(ranges));
}

bool SearchFilter::passes(const Test& t, const db::RecordView& record) {
    switch (t.kind) {
    case Test::Number:
        return compare(t.op, readNumber(record, t.field), t.number);
    case Test::Date:
        return compare(t.op, readDate(record, t.field), t.ymd);
    // The stored bytes, padding and all: a match ends on a character that
    // is not a blank, so it lies within the value's text.
    case Test::Contains:
        return !t.never && containsUpper(record.raw(t.field), t.needle);
    case Test::AnyWord: {
        const std::string_view value = record.raw(t.field);
        for (const std::string& w : t.words)
            if (containsUpper(value, w))
                return true;
        return false;
    }
    }
    return false;
}

bool SearchFilter::operator()(const db::RecordView& record) const {
    for (const Level& level : *levels_) {
        bool pass = true;
        for (const Test& t : level) {
            if (!passes(t, record)) {
                pass = false;
                break;
            }
        }
        if (pass)
            return true;
    }
    return false;
}

} // namespace shelvix::find
