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
  const ProgramResult dry = brumel(
      "farm --slurm --chunks 3 --mem 2G --time 1-0:30 --dry-run --node-colorspace SRGB --datatype uint8 -o farm/c.####.png");
  ASSERT_EQ(dry.status, 0) << dry.err;
  // Every path relative to the folder the script's cd goes to, as -i and -o are;
  // two reruns of a failed chunk by default; logs named by the job's id.
  for (const char* line :
       {"#SBATCH --array=0-2\n#SBATCH --mem=2G\n#SBATCH --time=1-0:30\n", "chunks=(1-4 5-8 9-12)\n",
        "--preroll --shot-start 1 --frames \"${chunks[$SLURM_ARRAY_TASK_ID]}\" --skip-existing",
        "render --load farm/brumel-farm/settings.json", "--chdir=", "farm/brumel-farm/chunk-%A_%a.log",
        "for attempt in 1 2 3; do ", "--node-colorspace SRGB --size 160x90 --datatype uint8 -o 'farm/c.####.png' && break; [ \"$attempt\" != 3 ]"}) {
    EXPECT_THAT(dry.out, HasSubstr(line));
  }
  EXPECT_FALSE(fs::exists(work_ / "farm"));  // a dry run writes nothing

  // Uneven chunks, the earlier ones longer; the first and last command, each run
  // on its own from another folder, give the one-machine frames.
  const ProgramResult commands =
      brumel("farm --print-commands --chunks 5 --retries 0 -q -o cmd/c.####.png");
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

  // A chunk that keeps failing (a folder stands where its frame 2 goes) runs
  // three times in all, and its line fails.
  fs::create_directories(work_ / "retry/c.0002.png");
  const ProgramResult retried = brumel("farm --print-commands -q -o retry/c.####.png");
  ASSERT_EQ(retried.status, 0) << retried.err;
  const ProgramResult failed = run_program("sh", root_, root_, {"-c", retried.out});
  EXPECT_NE(failed.status, 0);
  std::size_t runs = 0;
  for (std::size_t at = 0; (at = failed.err.find("brumel: error: ", at)) != std::string::npos; ++at) ++runs;
  EXPECT_EQ(runs, 3u) << failed.err;
  EXPECT_THAT(failed.err, HasSubstr("attempt 2 of 3 failed; running the chunk again"));
}

// A word that a shell or a farm manager would split into two lines, or a limit
// Slurm would not take, is refused, named by its option, before anything is
// written or submitted.
TEST_F(Farm, UnsafeWordsAndBadLimitsAreRefusedByOption) {
  const struct {
    std::string args, error;
  } cases[] = {
      {"--slurm --wait --chunks 2 -o 'q\ntouch X /tmp/c.####.png'",
       "-o \"q\\ntouch X /tmp/c.####.png\""},
      {"--print-commands -i 'p\t.####.png' -o c/c.####.png", "-i \"p\\t.####.png\""},
      {"--slurm --job-folder 'j\x7f' -o c/c.####.png", "--job-folder \"j\\x7f\""},
      // Slurm's log names cannot hold a backslash.
      {"--slurm --dry-run --job-folder 'j\\\\b' -o c/c.####.png", "holds a backslash"},
      {"--slurm --dry-run --mem 4X -o c/c.####.png", "--mem \"4X\": expected"},
      {"--slurm --dry-run --mem 0G -o c/c.####.png", "--mem \"0G\": expected"},
      {"--slurm --dry-run --time 1:75:00 -o c/c.####.png", "--time \"1:75:00\": expected"},
      {"--slurm --dry-run --time 0:00 -o c/c.####.png", "--time \"0:00\": expected"},
      {"--print-commands --time 10 -o c/c.####.png", "--time is a limit Slurm enforces"},
      {"--slurm --dry-run --retries 11 -o c/c.####.png", "--retries 11: give 0 to 10"},
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
  const std::string farm =
      "farm --slurm --chunks 3 --wait --mem 500M --time 10 -o 'farm shot/c.####.png'";
  const ProgramResult first = brumel(farm + " --sbatch-arg=--array=0,2");
  EXPECT_EQ(first.status, 1) << first.err;
  EXPECT_THAT(first.err, HasSubstr("finished with 4 frames missing: 5-8"));
  // The same command again renders what is missing.
  const ProgramResult rerun = brumel(farm);
  ASSERT_EQ(rerun.status, 0) << rerun.err;
  EXPECT_THAT(rerun.err, HasSubstr("all 12 frames are on disk"));
  expect_one_machine_frames("farm shot", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  // Each submission's logs under its job id: the first's chunk 0 wrote its
  // frames, the rerun's left them and its chunk 1 wrote its own.
  auto log = [&](const ProgramResult& submitted, int task) {
    const std::size_t at = submitted.err.find("brumel: job ") + 12;
    const std::string job = submitted.err.substr(at, submitted.err.find(':', at) - at);
    return file("farm shot/brumel-farm/chunk-" + job + "_" + std::to_string(task) + ".log");
  };
  EXPECT_THAT(log(first, 0), HasSubstr("frame 4 (4/4) written"));
  EXPECT_THAT(log(rerun, 0), HasSubstr("every frame of 1-4 is on disk already"));
  EXPECT_THAT(log(rerun, 1), HasSubstr("frame 8 (4/4) written"));
}

#endif
