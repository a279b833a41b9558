#pragma once

// The commands of brenvikctl. Each takes the words after its name and returns the exit code:
// 0 done, 1 the command failed (for instance a name that matches nothing), 2 bad usage.

#include <iosfwd>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

namespace brenvik::ctl {

struct Invocation {
    std::vector<std::string> args; // the words after the command's name, options removed
    bool json = false;             // --json: one JSON document on standard output
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false; // standard error is a terminal: a command may show progress there
};

int runStatus(Invocation& call);
int runWash(Invocation& call);
int runProcesses(Invocation& call);
int runStartup(Invocation& call);
int runSysinfo(Invocation& call);
int runSettings(Invocation& call);

// Prints rows of caption and value with the values aligned in one column.
void printAligned(std::ostream& out, const std::vector<std::pair<std::string, std::string>>& rows);
// Prints a table: every column but the last padded to its widest cell, two blanks between columns.
void printColumns(std::ostream& out, const std::vector<std::vector<std::string>>& rows);
// Prints one JSON document and a newline. Texts from the system (file names, environment values)
// need not be UTF-8: their bad bytes become U+FFFD instead of failing the output.
void printJson(std::ostream& out, const nlohmann::ordered_json& json);

} // namespace brenvik::ctl
