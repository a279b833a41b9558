#include "ctl/Commands.h"

#include <algorithm>
#include <ostream>

namespace brenvik::ctl {

void printAligned(std::ostream& out, const std::vector<std::pair<std::string, std::string>>& rows) {
    std::size_t width = 0;
    for (const auto& row : rows)
        width = std::max(width, row.first.size());
    for (const auto& [caption, value] : rows)
        out << caption << std::string(width - caption.size() + 2, ' ') << value << '\n';
}

} // namespace brenvik::ctl
