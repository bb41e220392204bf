#pragma once
// The one error type of the application: a message a person can act on (which
// file, widget or value is wrong). main prints it after "brumel: error: ".
#include <stdexcept>
#include <string>

class AppError : public std::runtime_error {
 public:
  explicit AppError(const std::string& message) : std::runtime_error(message) {}
};
