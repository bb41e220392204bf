#pragma once
// The one error type of the application: a message a person can act on (which
// file, widget or value is wrong). main prints it after "brumel: error: ".
// It is the embedding library's, so errors from either reach main alike.
#include "embed/error.h"

namespace brumel {

using AppError = brumel::Error;

}  // namespace brumel
