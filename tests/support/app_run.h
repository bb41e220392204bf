#pragma once
// Running the brumel program from the application's end-to-end tests.
#include <filesystem>
#include <string>
#include <vector>

struct ProgramResult {
  int status = -1;  // the exit status, -1 when it did not exit
  std::string out, err;
};

// The file's bytes, or "" when it cannot be read.
std::string read_text(const std::filesystem::path& path);

// Runs `PROGRAM ARGS` in `folder` with `env` (NAME=VALUE words) added, no terminal and
// no display; its output is kept in `logs`/stdout and stderr, outside `folder`.
ProgramResult run_program(const std::string& program, const std::filesystem::path& folder,
                          const std::filesystem::path& logs, const std::vector<std::string>& args,
                          const std::string& env = "");

// A new, empty folder for the running test (`prefix`, the test's name and the process
// id, under the system's temporary folder) holding an empty "work" folder.
std::filesystem::path fresh_test_folder(const std::string& prefix);

// `text` as one shell word.
std::string quoted(const std::string& text);
