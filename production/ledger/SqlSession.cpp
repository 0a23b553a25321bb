#include "production/ledger/SqlSession.h"

std::int64_t SqlRow::Integer(std::size_t column) const {
    const SqlValue& value = values.at(column);
    if (const auto* integer = std::get_if<std::int64_t>(&value)) {
        return *integer;
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
        return std::stoll(*text);
    }
    return 0;
}

std::string SqlRow::Text(std::size_t column) const {
    const SqlValue& value = values.at(column);
    if (const auto* text = std::get_if<std::string>(&value)) {
        return *text;
    }
    if (const auto* integer = std::get_if<std::int64_t>(&value)) {
        return std::to_string(*integer);
    }
    return {};
}
