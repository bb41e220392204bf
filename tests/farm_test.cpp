// brumel farm: the Slurm batch script, the per-chunk commands for any farm
// manager, and a shot rendered through a real single-node Slurm, each frame
// equal to the same shot rendered on one machine.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/app_run.h"

namespace fs = std::filesystem;

#if defined(BRUMEL_APP_PATH)

namespace {

const std::vector<std::string> kShot{"--demo", "Drift", "--preroll", "--frames", "1-12",
                                     "--size", "160x90"};

class Farm : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path module = fs::path(BRUMEL_APP_PATH).parent_path() / "BrumelKv.node";
    if (!fs::exists(module)) GTEST_SKIP() << "the node module is not built yet: " << module;
    root_ = fresh_test_folder("brumel_farm_test_");
    work_ = root_ / "work";
  }
  void TearDown() override {
    if (!slurm_.empty()) run_program(kSlurmScript, root_, root_, {"stop", slurm_.string()});
    std::error_code ignored;  // a daemon may still be removing its files
    if (!root_.empty() && !HasFailure()) fs::remove_all(root_, ignored);
  }
  ProgramResult brumel(std::vector<std::string> args, const std::vector<std::string>& shot = kShot) {
    args.insert(args.end(), shot.begin(), shot.end());
    return run_program(BRUMEL_APP_PATH, work_, root_, args, env_);
  }
  // Every frame of `folder` equals the one-machine run's, and there are 12.
  void expect_one_machine_frames(const std::string& folder) {
    ASSERT_EQ(brumel({"render", "-q", "-o", "one/c.####.png"}).status, 0);
    for (int frame = 1; frame <= 12; ++frame) {
      char name[32];
      std::snprintf(name, sizeof name, "c.%04d.png", frame);
      EXPECT_EQ(read_text(work_ / folder / name), read_text(work_ / "one" / name)) << name;
    }
  }

  static inline const std::string kSlurmScript =
      (fs::path(__FILE__).parent_path() / "farm/single_node_slurm.sh").string();
  fs::path root_, work_, slurm_;
  std::string env_;
};

}  // namespace

TEST_F(Farm, BatchScriptAndCommandsSplitTheShotIntoChunks) {
  const ProgramResult dry = brumel({"farm", "--slurm", "--chunks", "3", "--dry-run", "--datatype",
                                    "uint8", "-o", "farm/c.####.png"});
  ASSERT_EQ(dry.status, 0) << dry.err;
  for (const char* line : {"#SBATCH --array=0-2\n", "chunks=(1-4 5-8 9-12)\n",
                           "--preroll --shot-start 1 --frames \"${chunks[$SLURM_ARRAY_TASK_ID]}\" "
                           "--skip-existing",
                           "farm/brumel-farm/settings.json",
                           "--datatype uint8 -o 'farm/c.####.png'\n"}) {
    EXPECT_NE(dry.out.find(line), std::string::npos) << line << "\n" << dry.out;
  }
  EXPECT_FALSE(fs::exists(work_ / "farm"));  // a dry run writes nothing

  // Uneven chunks, each command run on its own, give the one-machine frames.
  const ProgramResult commands = brumel({"farm", "--print-commands", "--chunks", "5", "-q", "-o", "cmd/c.####.png"});
  ASSERT_EQ(commands.status, 0) << commands.err;
  std::istringstream lines(commands.out);
  std::vector<std::string> frames;
  for (std::string line; std::getline(lines, line);) {
    frames.push_back(line.substr(line.find("--frames ") + 9, line.find(" --skip") - line.find("--frames ") - 9));
    ASSERT_EQ(std::system(("cd " + quoted(work_.string()) + " && " + line).c_str()), 0) << line;
  }
  EXPECT_EQ(frames, (std::vector<std::string>{"1-3", "4-6", "7-8", "9-10", "11-12"}));
  expect_one_machine_frames("cmd");
  EXPECT_EQ(brumel({"farm", "--chunks", "13", "--slurm", "-o", "x/c.####.png"}).status, 1);
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
  const std::vector<std::string> farm{"farm", "--slurm", "--chunks", "3", "--wait", "-o", "farm/c.####.png"};
  std::vector<std::string> partial = farm;
  partial.insert(partial.begin() + 1, "--sbatch-arg=--array=0,2");
  const ProgramResult first = brumel(partial);
  EXPECT_EQ(first.status, 1) << first.err;
  EXPECT_NE(first.err.find("finished with 4 frames missing: 5-8"), std::string::npos) << first.err;
  // The same command again renders what is missing.
  const ProgramResult rerun = brumel(farm);
  ASSERT_EQ(rerun.status, 0) << rerun.err;
  EXPECT_NE(rerun.err.find("all 12 frames are on disk"), std::string::npos) << rerun.err;
  expect_one_machine_frames("farm");
  // The rerun's logs: chunk 0 left its frames, chunk 1 wrote its own.
  EXPECT_NE(read_text(work_ / "farm/brumel-farm/chunk-0.log").find("every frame of 1-4 is on disk already"),
            std::string::npos);
  EXPECT_NE(read_text(work_ / "farm/brumel-farm/chunk-1.log").find("frame 8 (4/4) written"),
            std::string::npos);
}

#else

TEST(Farm, NeedsTheApplication) { GTEST_SKIP() << "built without the brumel application"; }

#endif
