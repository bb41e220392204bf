#pragma once
// The one error type of the embedding library and its front ends: a message a
// person can act on (which file, widget or value is wrong).
#include <stdexcept>
#include <string>

namespace brumel {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace brumel
