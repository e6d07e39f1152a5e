// RunTimeError: the program's run-time error, the one exception type the program throws. A
// failing platform call throws it with a clear message (no disc, a file that is not a picture, a
// setting that cannot be written), and so do whole-number overflow and a stored setting that
// cannot be converted. The slide-show step's failure trap catches it; anywhere else Module1 turns
// it into the fatal error: a message box naming what failed, then the end of the process.
#pragma once

#include <stdexcept>

namespace quildor::forms {

class RunTimeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace quildor::forms
