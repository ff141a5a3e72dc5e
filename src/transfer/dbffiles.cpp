#include "transfer/dbffiles.h"

#include "db/displayformats.h"
#include "db/engine/error.h"
#include "db/engine/memo.h"
#include "db/engine/table.h"
#include "db/engine/value.h"
#include "db/fieldtable.h"

#include <algorithm>

namespace shelvix::transfer {

namespace {

// More of a memo than any book field holds, with room for its line ends.
constexpr std::size_t kMemoLimit = 64 * 1024;

// A memo's lines joined by one blank each, as a text field holds them: its
// line ends (dBASE's soft returns, 0x8D 0x0A, among them) and tabs are
// blanks, other control bytes go. Works on the table's own bytes.
void joinLines(std::string& text) {
    std::size_t out = 0;
    bool lineEnd = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool softReturn = c == 0x8D && i + 1 < text.size() && text[i + 1] == '\n';
        if (c == '\r' || c == '\n' || softReturn) {
            lineEnd = true;
            continue;
        }
        if (c < 32 && c != '\t')
            continue;
        if (lineEnd && out > 0)
            text[out++] = ' ';
        lineEnd = false;
        text[out++] = c == '\t' ? ' ' : char(c);
    }
    text.resize(out);
}

// The block number a memo field holds: digits, blank-padded; 0 when blank.
std::optional<std::uint32_t> memoBlock(std::string_view raw) {
    std::uint64_t n = 0;
    bool digits = false;
    for (char c : raw) {
        if (c == ' ' || c == '\0') {
            if (digits)
                break;
            continue;
        }
        if (c < '0' || c > '9' || n > 0xFFFFFFFFull / 10)
            return std::nullopt;
        n = n * 10 + std::uint64_t(c - '0');
        digits = true;
    }
    if (n > 0xFFFFFFFFull)
        return std::nullopt;
    return std::uint32_t(n);
}

} // namespace

DbfReader::DbfReader(const std::filesystem::path& path, const db::DisplayFormats& formats)
    : table_(db::Table::openSource(path)), dates_(formats), codePage_(table_->codePage()) {
    for (int i = 0; i < table_->fieldCount(); ++i) {
        names_.push_back(table_->field(i).name);
        types_.push_back(table_->field(i).type);
    }
    table_->setShowDeleted(true);
    total_ = table_->recordCount();
    if (std::find(types_.begin(), types_.end(), 'M') != types_.end()) {
        bool found = false;
        const auto memoPath = db::findCompanion(path, ".DBT", &found);
        if (found) {
            try {
                memo_ = db::MemoFile::open(memoPath, table_->version());
            } catch (const db::DatabaseError&) {
                // Its memos are counted as unread, record by record.
            }
        }
    }
}

DbfReader::~DbfReader() = default;

std::uint32_t DbfReader::recordsPastCount() const {
    return table_->recordsPastCount();
}

void DbfReader::readMemo(std::string_view raw, SourceValue& value) {
    const auto block = memoBlock(raw);
    if (block && *block == 0)
        return; // no memo
    std::optional<std::string> text;
    if (block && memo_)
        text = memo_->read(*block, kMemoLimit);
    if (!text) {
        value.unread = true;
        return;
    }
    joinLines(*text);
    value.text = recode(*text, codePage_, core::CodePage::Windows1252);
    value.memo = true;
}

std::vector<std::string> DbfReader::fieldNames() const {
    std::vector<std::string> out;
    for (const std::string& n : names_)
        out.push_back(n.substr(0, kMaxNameLength));
    return out;
}

bool DbfReader::next(SourceRecord& record) {
    record.values.resize(names_.size());
    record.cutFields = 0;
    record.extraFields = false;
    while (recno_ < total_) {
        const db::RecordView r = table_->record(++recno_);
        if (r.deleted())
            continue;
        for (std::size_t i = 0; i < names_.size(); ++i) {
            SourceValue& v = record.values[i];
            const int index = int(i);
            v.text.clear();
            v.date.reset();
            v.memo = v.unread = false;
            switch (types_[i]) {
            case 'N':
            case 'F':
                if (!r.isEmpty(index))
                    v.text = generalNumberText(r.raw(index));
                break;
            case 'D':
                v.date = r.date(index);
                if (v.date)
                    dates_.format(*v.date, v.text);
                break;
            case 'L':
                if (auto b = db::parseLogicalField(r.raw(index)))
                    v.text.assign(1, *b ? 'T' : 'F');
                break;
            case 'M':
                readMemo(r.raw(index), v);
                break;
            default:
                v.text = recode(r.text(index), codePage_, core::CodePage::Windows1252);
            }
        }
        return true;
    }
    return false;
}

DbfWriter::DbfWriter(const std::filesystem::path& target) : file_(target) {}

DbfWriter::~DbfWriter() = default;

void DbfWriter::begin(db::Table& source, const std::vector<ExportColumn>& columns) {
    columns_ = columns;
    std::vector<db::FieldDef> defs;
    for (const ExportColumn& c : columns_) {
        const db::FieldInfo& info = db::fieldInfo(c.field);
        switch (info.kind) {
        case db::FieldKind::WholeNumber:
            defs.push_back(db::FieldDef::integer(info.name));
            break;
        case db::FieldKind::Money:
            defs.push_back(db::FieldDef::floating(info.name));
            break;
        case db::FieldKind::Date:
            defs.push_back(db::FieldDef::date(info.name));
            break;
        default:
            defs.push_back(db::FieldDef::text(info.name, info.width));
        }
        names_.push_back(info.name);
        sourceTypes_.push_back(source.field(c.index).type);
        kinds_.push_back(int(info.kind));
    }
    codePage_ = source.codePage();
    file_.close();
    db::Table::create(file_.tempPath(), defs);
    table_ = db::Table::open(file_.tempPath(), db::OpenMode::Exclusive);
    table_->disableControls();
    table_->beginBulk(); // the commit syncs the whole file once
}

void DbfWriter::write(const db::RecordView& record) {
    table_->insert();
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const int index = columns_[i].index;
        if (record.isEmpty(index))
            continue;
        const std::string& name = names_[i];
        const char type = sourceTypes_[i];
        switch (db::FieldKind(kinds_[i])) {
        case db::FieldKind::WholeNumber:
        case db::FieldKind::Money: {
            auto n = type == 'N' || type == 'F' ? record.number(index)
                                                : readDecimalNumber(record.text(index));
            if (n)
                table_->setNumber(name, *n);
            break;
        }
        case db::FieldKind::Date:
            if (type == 'D')
                table_->setDate(name, record.date(index));
            break;
        default:
            if (codePage_ == core::CodePage::Windows1252)
                table_->setText(name, record.text(index));
            else
                table_->setText(name,
                                recode(record.text(index), codePage_, core::CodePage::Windows1252));
        }
    }
    table_->post();
}

void DbfWriter::commit() {
    table_->endBulk();
    table_->enableControls();
    table_.reset();
    file_.commit();
}

} // namespace shelvix::transfer
