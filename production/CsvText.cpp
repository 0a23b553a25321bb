#include "production/CsvText.h"

namespace {

bool IsLineBreak(char c) {
    return c == '\n' || c == '\r';
}

class CsvReader {
public:
    explicit CsvReader(std::string_view text) : text_(text) {}

    std::vector<CsvRecord> Records() {
        std::vector<CsvRecord> records;
        while (position_ < text_.size()) {
            records.push_back(NextRecord());
        }
        return records;
    }

private:
    CsvRecord NextRecord() {
        CsvRecord record;
        record.line = line_;
        for (;;) {
            std::string cell;
            const bool ok = AtQuote() ? ReadQuotedCell(cell, record) : ReadPlainCell(cell, record);
            if (!ok) {
                SkipRestOfLine();
                record.cells.clear();
                break;
            }
            record.cells.push_back(std::move(cell));
            if (position_ < text_.size() && text_[position_] == ',') {
                ++position_;
                continue;
            }
            break;
        }
        record.blank = record.error.empty() && record.cells.size() == 1 &&
                       record.cells.front().empty() && !sawQuote_;
        sawQuote_ = false;
        EndLine();
        return record;
    }

    bool AtQuote() const { return position_ < text_.size() && text_[position_] == '"'; }

    bool ReadPlainCell(std::string& cell, CsvRecord& record) {
        while (position_ < text_.size() && text_[position_] != ',' &&
               !IsLineBreak(text_[position_])) {
            if (text_[position_] == '"') {
                record.error = "a quote inside a cell that does not start with one";
                return false;
            }
            cell += text_[position_++];
        }
        return true;
    }

    bool ReadQuotedCell(std::string& cell, CsvRecord& record) {
        sawQuote_ = true;
        ++position_;
        for (;;) {
            if (position_ >= text_.size()) {
                record.error = "a quoted cell is not closed";
                return false;
            }
            const char c = text_[position_++];
            if (c == '"') {
                if (AtQuote()) {
                    cell += '"';
                    ++position_;
                    continue;
                }
                break;
            }
            if (c == '\n' ||
                (c == '\r' && (position_ >= text_.size() || text_[position_] != '\n'))) {
                ++line_;
            }
            cell += c;
        }
        if (position_ < text_.size() && text_[position_] != ',' && !IsLineBreak(text_[position_])) {
            record.error = "text after the closing quote of a cell";
            return false;
        }
        return true;
    }

    void SkipRestOfLine() {
        while (position_ < text_.size() && !IsLineBreak(text_[position_])) {
            ++position_;
        }
    }

    void EndLine() {
        if (position_ >= text_.size()) {
            return;
        }
        if (text_[position_] == '\r' && position_ + 1 < text_.size() &&
            text_[position_ + 1] == '\n') {
            ++position_;
        }
        ++position_;
        ++line_;
    }

    std::string_view text_;
    std::size_t position_ = 0;
    std::size_t line_ = 1;
    bool sawQuote_ = false;
};

} // namespace

std::vector<CsvRecord> ReadCsvRecords(std::string_view text) {
    return CsvReader(text).Records();
}

std::string CsvCell(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string cell = "\"";
    for (const char c : text) {
        cell += c;
        if (c == '"') {
            cell += '"';
        }
    }
    return cell + '"';
}
