#include "input/data_line.h"

namespace scantelk {

DataLineStatus read_data_line(LineReader& reader, std::string_view& line) {
    std::string_view next;
    if (!reader.read_line(next)) return DataLineStatus::end_of_file;
    while (!next.empty() && next.front() == '#') {
        if (!reader.read_line(next)) {
            line = std::string_view();
            return DataLineStatus::comments_to_end;
        }
    }
    const std::size_t comment = next.find('#');
    line = comment == std::string_view::npos ? next : next.substr(0, comment);
    return DataLineStatus::data_line;
}

}  // namespace scantelk
