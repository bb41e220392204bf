#include "tests/support/app_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iomanip>
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

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string word; in >> std::quoted(word, '\'');) out.push_back(word);
  return out;
}

std::set<std::string> files_under(const std::filesystem::path& folder) {
  std::set<std::string> names;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ignored)) {
    names.insert(std::filesystem::relative(entry.path(), folder).string());
  }
  return names;
}

Picture::Rgb Picture::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return {-1, -1, -1};  // differs from any pixel
  const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
  return {samples[i], samples[i + 1], samples[i + 2]};
}

int Picture::count(int x0, int y0, int x1, int y1, const std::function<bool(Rgb)>& test) const {
  int n = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) n += test(at(x, y)) ? 1 : 0;
  }
  return n;
}

Picture read_ppm(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  Picture p;
  in >> magic >> p.width >> p.height >> maxval;
  in.get();  // the one whitespace before the samples
  if (magic != "P6" || maxval != 255 || p.width <= 0 || p.height <= 0) {
    ADD_FAILURE() << path << " is not an 8-bit PPM";
    return {};
  }
  p.samples.resize(static_cast<std::size_t>(p.width) * p.height * 3);
  in.read(reinterpret_cast<char*>(p.samples.data()),
          static_cast<std::streamsize>(p.samples.size()));
  if (!in) ADD_FAILURE() << path << " is truncated";
  return p;
}

int largest_difference(Picture::Rgb a, Picture::Rgb b) {
  int most = 0;
  for (int c = 0; c < 3; ++c) most = std::max(most, std::abs(a[c] - b[c]));
  return most;
}

int pixels_differing(const Picture& a, int ax, int ay, const Picture& b, int bx, int by, int w,
                     int h, int threshold) {
  int n = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x)
      n += largest_difference(a.at(ax + x, ay + y), b.at(bx + x, by + y)) > threshold;
  }
  return n;
}
