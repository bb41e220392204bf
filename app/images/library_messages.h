#pragma once
// What an image library prints on standard error by itself (the PNG library's
// "libpng error: ..." on a damaged file) is kept off the terminal while a
// LibraryMessages lives: descriptor 2 points at a file in memory, and take() hands
// the text back for the caller to report under the program's own prefix.
// Only for calls on the thread that prints the program's messages: anything else
// written on standard error meanwhile is caught too.
#include <string>

namespace brumel {

class LibraryMessages {
 public:
  // Points descriptor 2 at the memory file; when that cannot be done nothing is caught.
  LibraryMessages();
  // Points descriptor 2 back (what was caught and not taken is dropped).
  ~LibraryMessages();
  LibraryMessages(const LibraryMessages&) = delete;
  LibraryMessages& operator=(const LibraryMessages&) = delete;

  // Points descriptor 2 back and returns what was written meanwhile.
  std::string take();

 private:
  int saved_stderr_ = -1;
  int capture_ = -1;
};

// Turns the catching off (on at the start) for a program that must see every
// message as it comes, such as a fuzzer whose crash report would otherwise be caught.
void catch_library_messages(bool on);

// Prints each line of `text` (from take()) on standard error as
// "brumel: `what`: LINE"; nothing for an empty text.
void report_library_messages(const std::string& what, const std::string& text);

}  // namespace brumel
