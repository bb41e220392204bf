#pragma once
// Running the brumel program from the application's end-to-end tests, and reading
// the pictures it writes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <set>
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

// The words of a command line: split at blanks, a word in single quotes kept whole.
std::vector<std::string> words(const std::string& line);

// The paths of every file and folder under `folder`, relative to it.
std::set<std::string> files_under(const std::filesystem::path& folder);

// An 8-bit binary PPM (P6), as the program writes `.ppm` frames and screenshots.
struct Picture {
  using Rgb = std::array<int, 3>;
  int width = 0, height = 0;
  std::vector<unsigned char> samples;
  Rgb at(int x, int y) const;  // {-1, -1, -1} outside the picture
  // Pixels in [x0, x1) x [y0, y1) that pass `test`.
  int count(int x0, int y0, int x1, int y1, const std::function<bool(Rgb)>& test) const;
};
// Fails the test when `path` is no 8-bit PPM.
Picture read_ppm(const std::filesystem::path& path);
// The largest difference of one channel between two colours.
int largest_difference(Picture::Rgb a, Picture::Rgb b);
// Pixels of the w x h box at (ax, ay) of `a` whose colour differs by more than
// `threshold` from the pixel at the same place of the box at (bx, by) of `b`.
int pixels_differing(const Picture& a, int ax, int ay, const Picture& b, int bx, int by, int w,
                     int h, int threshold);

// A fresh folder per test, removed when the test passes: `work_` (empty at the start)
// inside `root_`, which also takes a program's output.
class TestFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fresh_test_folder("brumel_");
    work_ = root_ / "work";
  }
  void TearDown() override {
    std::error_code ignored;  // a daemon may still be removing its files
    if (!root_.empty() && !HasFailure()) std::filesystem::remove_all(root_, ignored);
  }
  std::string at(const std::string& name) const { return (work_ / name).string(); }
  std::string file(const std::string& name) const { return read_text(work_ / name); }

  std::filesystem::path root_, work_;
};

#if defined(BRUMEL_APP_PATH)
// Runs `brumel` in the test's work folder; skips when the node module is not built.
class BrumelRun : public TestFolder {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(std::filesystem::path(BRUMEL_APP_PATH).parent_path() /
                                 "BrumelKv.node")) {
      GTEST_SKIP() << "the node module is not built yet";
    }
    TestFolder::SetUp();
  }
  // `brumel LINE` (its words as `words` splits them), with `env` as run_program takes it.
  ProgramResult run(const std::string& line, const std::string& env = "") const {
    return run_program(BRUMEL_APP_PATH, work_, root_, words(line), env);
  }
  // `brumel LINE`, which must succeed; returns what it said on standard error.
  std::string ok(const std::string& line) const {
    const ProgramResult r = run(line);
    EXPECT_EQ(r.status, 0) << line << "\n" << r.err;
    return r.err;
  }
};
#endif
