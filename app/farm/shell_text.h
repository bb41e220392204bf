#pragma once
// Text that a shell reads back word for word: the farm's batch script and the
// commands it prints. Quoting keeps spaces and quotes inside one word; a
// control character (a newline above all) is refused, since a line-based
// reader (a farm manager taking one command per line, Slurm's #SBATCH lines)
// would split the word however it is quoted.
#include <string>
#include <vector>

namespace brumel {

// `text` as one word of a POSIX shell: single-quoted unless plainly safe.
std::string shell_word(const std::string& text);

// `words` as one shell command line, each word quoted by shell_word.
std::string shell_line(const std::vector<std::string>& words);

// Throws AppError naming `option` and `value` (its control characters shown
// as \n, \t or \xNN) when `value` holds a control character.
void refuse_control_characters(const std::string& option, const std::string& value);

}  // namespace brumel
