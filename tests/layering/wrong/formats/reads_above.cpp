// A reader that reaches up into the command line: the layering check must
// refuse it.
#include "cli/options.hpp"
