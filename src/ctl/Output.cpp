#include "ctl/Commands.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <ostream>

namespace brenvik::ctl {

void printAligned(std::ostream& out, const std::vector<std::pair<std::string, std::string>>& rows) {
    std::size_t width = 0;
    for (const auto& row : rows)
        width = std::max(width, row.first.size());
    for (const auto& [caption, value] : rows)
        out << caption << std::string(width - caption.size() + 2, ' ') << value << '\n';
}

void printColumns(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        if (widths.size() < row.size())
            widths.resize(row.size());
        for (std::size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    }
    for (const auto& row : rows) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            out << row[column];
            if (column + 1 < row.size())
                out << std::string(widths[column] - row[column].size() + 2, ' ');
        }
        out << '\n';
    }
}

void printJson(std::ostream& out, const nlohmann::ordered_json& json) {
    out << json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

} // namespace brenvik::ctl
