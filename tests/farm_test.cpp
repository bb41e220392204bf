// brumel farm: the Slurm batch script, the per-chunk commands for any farm
// manager, and a shot rendered through a real single-node Slurm, each frame
// equal to the same shot rendered on one machine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/app_run.h"

using ::testing::HasSubstr;

namespace fs = std::filesystem;

#if defined(BRUMEL_APP_PATH)

namespace {

class Farm : public BrumelRun {
 protected:
  // Every farm runs from a folder with a space in its name: the job folder, the
  // settings and the logs are under it, and the chunks start there.
  void SetUp() override {
    BrumelRun::SetUp();
    if (IsSkipped()) return;
    work_ = root_ / "the shot";
    fs::create_directories(work_);
  }
  void TearDown() override {
    if (!slurm_.empty()) run_program(kSlurmScript, root_, root_, {"stop", slurm_.string()});
    BrumelRun::TearDown();
  }
  // `brumel ARGS` over the test's shot: Drift, frames 1-12.
  ProgramResult brumel(const std::string& args) const {
    return run(args + " --demo Drift --preroll --frames 1-12 --size 160x90", env_);
  }
  // The frames of `folder` equal the one-machine run's.
  void expect_one_machine_frames(const std::string& folder, const std::vector<int>& frames) {
    ASSERT_EQ(brumel("render -q -o one/c.####.png").status, 0);
    for (int frame : frames) {
      char name[32];
      std::snprintf(name, sizeof name, "c.%04d.png", frame);
      EXPECT_EQ(file(folder + "/" + name), file(std::string("one/") + name)) << name;
    }
  }

  static inline const std::string kSlurmScript =
      (fs::path(__FILE__).parent_path() / "farm/single_node_slurm.sh").string();
  fs::path slurm_;
  std::string env_;
};

}  // namespace

TEST_F(Farm, BatchScriptAndCommandsSplitTheShotIntoChunks) {
  const ProgramResult dry =
      brumel("farm --slurm --chunks 3 --dry-run --node-colorspace SRGB --datatype uint8 -o farm/c.####.png");
  ASSERT_EQ(dry.status, 0) << dry.err;
  for (const char* line :
       {"#SBATCH --array=0-2\n", "chunks=(1-4 5-8 9-12)\n",
        "--preroll --shot-start 1 --frames \"${chunks[$SLURM_ARRAY_TASK_ID]}\" --skip-existing",
        "farm/brumel-farm/settings.json",
        "--node-colorspace SRGB --size 160x90 --datatype uint8 -o 'farm/c.####.png'\n"}) {
    EXPECT_THAT(dry.out, HasSubstr(line));
  }
  EXPECT_FALSE(fs::exists(work_ / "farm"));  // a dry run writes nothing

  // Uneven chunks, the earlier ones longer; the first and last command, each run
  // on its own from another folder, give the one-machine frames.
  const ProgramResult commands = brumel("farm --print-commands --chunks 5 -q -o cmd/c.####.png");
  ASSERT_EQ(commands.status, 0) << commands.err;
  std::istringstream lines(commands.out);
  std::vector<std::string> chunks;
  for (std::string line; std::getline(lines, line);) {
    const std::size_t at = line.find("--frames ") + 9;
    chunks.push_back(line.substr(at, line.find(' ', at) - at));
    if (chunks.size() == 1 || chunks.back() == "11-12") {
      ASSERT_EQ(std::system(("cd / && " + line).c_str()), 0) << line;
    }
  }
  EXPECT_EQ(chunks, (std::vector<std::string>{"1-3", "4-6", "7-8", "9-10", "11-12"}));
  expect_one_machine_frames("cmd", {1, 2, 3, 11, 12});
  EXPECT_EQ(brumel("farm --chunks 13 --slurm -o x/c.####.png").status, 1);
}

// A word that a shell or a farm manager would split into two lines is refused,
// named by its option, before anything is written or submitted.
TEST_F(Farm, ControlCharactersInPathsAreRefusedByOption) {
  const struct {
    std::string args, error;
  } cases[] = {
      {"--slurm --wait --chunks 2 -o 'q\ntouch X /tmp/c.####.png'",
       "-o \"q\\ntouch X /tmp/c.####.png\""},
      {"--print-commands -i 'p\t.####.png' -o c/c.####.png", "-i \"p\\t.####.png\""},
      {"--slurm --job-folder 'j\x7f' -o c/c.####.png", "--job-folder \"j\\x7f\""},
      // Slurm's log names cannot hold a backslash.
      {"--slurm --dry-run --job-folder 'j\\\\b' -o c/c.####.png", "holds a backslash"},
  };
  for (const auto& c : cases) {
    const ProgramResult r = brumel("farm " + c.args);
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_THAT(r.err, HasSubstr(c.error)) << c.args;
    EXPECT_TRUE(fs::is_empty(work_)) << c.args;
  }
}

TEST_F(Farm, SlurmJobArrayRendersTheShotAsOneMachineDoes) {
  slurm_ = root_ / "slurm";
  const ProgramResult started = run_program(kSlurmScript, root_, root_, {"start", slurm_.string()});
  if (started.status == 77) {
    slurm_.clear();
    GTEST_SKIP() << "no single-node Slurm here: " << started.out;
  }
  ASSERT_EQ(started.status, 0) << started.out << started.err;
  env_ = "SLURM_CONF=" + quoted((slurm_ / "slurm.conf").string());

  // Only chunks 0 and 2 run: --wait names the frames of chunk 1 as missing.
  const std::string farm = "farm --slurm --chunks 3 --wait -o 'farm shot/c.####.png'";
  const ProgramResult first = brumel(farm + " --sbatch-arg=--array=0,2");
  EXPECT_EQ(first.status, 1) << first.err;
  EXPECT_THAT(first.err, HasSubstr("finished with 4 frames missing: 5-8"));
  // The same command again renders what is missing.
  const ProgramResult rerun = brumel(farm);
  ASSERT_EQ(rerun.status, 0) << rerun.err;
  EXPECT_THAT(rerun.err, HasSubstr("all 12 frames are on disk"));
  expect_one_machine_frames("farm shot", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  // The rerun's logs: chunk 0 left its frames, chunk 1 wrote its own.
  EXPECT_THAT(file("farm shot/brumel-farm/chunk-0.log"),
              HasSubstr("every frame of 1-4 is on disk already"));
  EXPECT_THAT(file("farm shot/brumel-farm/chunk-1.log"), HasSubstr("frame 8 (4/4) written"));
}

#endif
