#include "tests/support/app_run.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

std::string read_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

ProgramResult run_program(const std::string& program, const std::filesystem::path& folder,
                          const std::filesystem::path& logs, const std::vector<std::string>& args,
                          const std::string& env) {
  std::string command =
      "cd " + quoted(folder.string()) + " && env -u DISPLAY " + env + " " + quoted(program);
  for (const std::string& arg : args) command += " " + quoted(arg);
  command += " </dev/null >" + quoted((logs / "stdout").string()) + " 2>" +
             quoted((logs / "stderr").string());
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_text(logs / "stdout"),
          read_text(logs / "stderr")};
}

std::filesystem::path fresh_test_folder(const std::string& prefix) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() /
      (prefix + std::string(test->name()) + "_" + std::to_string(getpid()));
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root / "work");
  return root;
}
